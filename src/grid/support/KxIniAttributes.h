#pragma once
// TkxIniAttributes: the settings with which a grid keeps its column layout between runs (an ini-file
// section or a registry key under the current user, one entry per column), the rules that resolve an
// empty FileName and SectionName, and the storage itself: TkxLayoutStore reads a section's entries
// and erases and writes them. Which columns are stored and how a read layout is applied belong to the
// grid (TkxDBGrid::LoadLayout and SaveLayout). The setters only store (FileName, SectionName and
// Delimiter when the value differs); nothing loads or saves as a side effect.
//
// Stored value of a column: width, D, title, D, read-only flag [, D, group], D the delimiter. Reading
// turns every delimiter into a tab, so the value becomes the rest of a column-list line. Costs: a
// read is one pass over the section; a save reads the profile or hive file once and rewrites it a
// fixed number of times, however many columns it stores.
#include "core/Component.h"

#include <vector>

class TkxIniAttributes : public TPersistent {
    MORVANE_CLASS_PROPS(TkxIniAttributes, TPersistent)
public:
    // `grid` owns the object; it is not freed through it.
    explicit TkxIniAttributes(TComponent* grid) : grid_(grid) {}

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v) { enabled_ = v; }
    bool SaveToRegistry() const { return saveToRegistry_; }
    void SetSaveToRegistry(bool v) { saveToRegistry_ = v; }
    // Resolved: the stored name when not empty; else kxProcessIntl's IniFileName when not empty
    // (copied there by a connected form's settings object); else, while kxProcessIntl is connected
    // and for ini storage, the program's name before its first "." followed by ".ini" (no
    // directory: the profile folder); empty otherwise.
    AnsiString FileName() const;
    void SetFileName(const AnsiString& v);
    const AnsiString& StoredFileName() const { return fileName_; }
    // Resolved: the stored name when not empty, else the form name followed by the grid's name.
    AnsiString SectionName() const;
    void SetSectionName(const AnsiString& v);
    const AnsiString& StoredSectionName() const { return sectionName_; }
    // Placed between the parts of each stored value; any length of one or more characters.
    const AnsiString& Delimiter() const { return delimiter_; }
    void SetDelimiter(const AnsiString& v);
    bool CheckNewFields() const { return checkNewFields_; }
    void SetCheckNewFields(bool v) { checkNewFields_ = v; }

    TComponent* Grid() const { return grid_; }
    // The name of the form the grid sat on when it finished loading (empty when none).
    const AnsiString& FormName() const { return formName_; }
    void SetFormName(const AnsiString& v) { formName_ = v; }

private:
    TComponent* grid_;
    bool enabled_ = false;
    bool saveToRegistry_ = false;
    AnsiString fileName_;
    AnsiString sectionName_;
    AnsiString delimiter_ = ";;";
    bool checkNewFields_ = false;
    AnsiString formName_;
};

// One stored column: the field name and the joined value.
struct TkxLayoutEntry {
    AnsiString name;
    AnsiString value;
};

// The storage of one layout: the section `section` of the profile file `fileName`, or the registry
// key HKEY_CURRENT_USER\fileName\section. An empty profile file name addresses no storage: nothing
// is read and nothing written.
class TkxLayoutStore {
public:
    TkxLayoutStore(bool registry, AnsiString fileName, AnsiString section);

    // The section's entries in stored order. Profile values longer than 2047 bytes are cut to 2047
    // (never inside a double-byte character). Failures of the storage pass on.
    std::vector<TkxLayoutEntry> Read() const;
    // Empties the section, then writes the entries in order (a name met again takes the later value
    // in the earlier place, as writing the same key twice does). False, and nothing written, when the
    // profile file could not be read or rewritten to empty the section (a missing registry key counts
    // as erased); a profile file that cannot be written then raises "Unable to write to %s".
    // O(entries + file): the file is read once and rewritten a fixed number of times.
    bool Replace(const std::vector<TkxLayoutEntry>& entries);

    // HKEY_CURRENT_USER's key path of a registry store.
    AnsiString KeyPath() const { return fileName_ + "\\" + section_; }
    // Profile values read back are cut to this many bytes.
    static constexpr size_t kMaxProfileValue = 2047;

private:
    bool registry_;
    AnsiString fileName_;
    AnsiString section_;
};

// The stored value of a column: the parts joined with the delimiter.
AnsiString JoinLayoutValue(const std::vector<AnsiString>& parts, std::string_view delimiter);
// The column-list line of a stored entry: name, tab, the value with every delimiter (searched from
// the left, case-sensitive, never inside a double-byte character) turned into a tab. False, and no
// line, when the value holds no delimiter or the delimiter is empty.
bool LayoutEntryToListLine(const TkxLayoutEntry& entry, std::string_view delimiter, AnsiString& line);
