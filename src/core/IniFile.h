#pragma once
// Profile (ini) files with the classic rules: lines are trimmed; empty lines and lines starting with
// ";" are skipped; "[name]" starts a section; an entry's name and value are trimmed around the first
// "="; lines before the first section are ignored; section and key names ignore ASCII letter case;
// a missing file reads as having no sections. Writes go to the file at once.
#include "core/AnsiString.h"
#include "core/StringList.h"

#include <cstdint>
#include <utility>
#include <vector>

// Profile files larger than this are refused rather than read.
constexpr int64_t MaxIniFileSize = 16 * 1024 * 1024;

// A key and its value.
using TIniEntry = std::pair<AnsiString, AnsiString>;

class TIniFile {
public:
    // A name without a directory is placed in ~/.config/kestrin/ (KESTRIN_PROFILE_DIR overrides).
    // Only a regular file is read (a folder, a device or a pipe reads as a missing file, and never
    // blocks); one larger than MaxIniFileSize fails with EInOutError "File '%s' is larger than 16 MB".
    explicit TIniFile(const AnsiString& fileName);

    const AnsiString& FileName() const { return path_; }
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    AnsiString ReadString(std::string_view section, std::string_view key, const AnsiString& def = {}) const;
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    // The keys of a section, and its entry lines ("name=value", or the line as it stands).
    void ReadSection(std::string_view section, TStringList& keys) const;
    void ReadSectionValues(std::string_view section, TStringList& lines) const;
    // Every key of a section with the value ReadString gives it (a key written twice reads the first
    // value both times): O(entries) where ReadString per key costs O(entries) each.
    std::vector<TIniEntry> ReadSectionEntries(std::string_view section) const;
    void ReadSections(TStringList& sections) const;

    // Writing fails with EInOutError when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, const AnsiString& value);
    // Writes many entries of one section as WriteString writes each, with one rewrite of the file:
    // O(entries + section) where WriteString one by one costs a rewrite per entry.
    void WriteStrings(std::string_view section, const std::vector<TIniEntry>& entries);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);
    // Adds an empty section when there is none of that name.
    void AddSection(std::string_view section);

    // Where a bare profile name is placed.
    static AnsiString ProfileDir();

private:
    struct Section {
        AnsiString name;
        std::vector<AnsiString> entries;
    };
    const Section* find(std::string_view section) const;
    Section& ensure(std::string_view section);
    void load();
    void save() const;

    AnsiString path_;
    std::vector<Section> sections_;
};

// Splits an ini entry at its first "=": the trimmed name, and the value after it.
bool SplitIniEntry(std::string_view entry, AnsiString& name, AnsiString& value);
// Creates a folder and its parents; false when that fails.
bool ForceDirectories(const AnsiString& dir);
