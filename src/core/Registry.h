#pragma once
// The system registry, kept in files: one ini-format file per hive under $KESTRIN_REGISTRY_DIR
// (default ~/.config/kestrin/registry/), a key being a section named by its path with backslashes.
// Text values are stored as they are, whole numbers as "dword:" and eight hexadecimal digits; the
// default value of a key has the name "@".
#include "core/AnsiString.h"
#include "core/IniFile.h"

#include <memory>

enum class RegistryHive { CurrentUser, ClassesRoot, LocalMachine };

class TRegistry {
public:
    explicit TRegistry(RegistryHive root = RegistryHive::CurrentUser) : root_(root) {}

    RegistryHive RootKey() const { return root_; }
    void SetRootKey(RegistryHive root);

    // A key path with or without a leading "\"; separators at either end are dropped, by characters of
    // the code page (a double-byte character's trail byte 5C is no separator). False when the key
    // does not exist and may not be made.
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key);
    void CloseKey();
    bool KeyExists(std::string_view key) const;
    bool DeleteKey(std::string_view key);
    const AnsiString& CurrentPath() const { return key_; }

    bool ValueExists(std::string_view name) const;
    // Empty when the value is absent; ERegistryException "Invalid data type for '%s'" when the value
    // is not text. An empty name reads the key's default value.
    AnsiString ReadString(std::string_view name) const;
    int ReadInteger(std::string_view name) const;
    void WriteString(std::string_view name, const AnsiString& value);
    // Many text values at once, with one rewrite of the hive: O(values + key).
    void WriteStrings(const std::vector<TIniEntry>& values);
    void WriteInteger(std::string_view name, int value);
    bool DeleteValue(std::string_view name);
    void GetValueNames(TStringList& names) const;
    // The key's values as GetValueNames and ReadString on each name give them, in one pass over the
    // key: O(values) where a ReadString per name costs O(values) each.
    std::vector<TIniEntry> ReadStrings() const;

    static AnsiString Dir();
    static AnsiString HiveFile(RegistryHive root);

private:
    static AnsiString normalize(std::string_view key);
    static AnsiString valueName(std::string_view name) { return name.empty() ? AnsiString("@") : AnsiString(name); }
    TIniFile& file() const;

    RegistryHive root_;
    AnsiString key_;
    bool open_ = false;
    bool readOnly_ = false;
    mutable std::unique_ptr<TIniFile> file_;
};
