#include "core/Registry.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/SysUtils.h"

#include <cstdio>
#include <cstdlib>

AnsiString TRegistry::Dir() {
    if (const char* dir = std::getenv("KESTRIN_REGISTRY_DIR"); dir && *dir)
        return AnsiString(dir) + (AnsiString(dir).back() == '/' ? "" : "/");
    return HomeDir() + "/.config/kestrin/registry/";
}

AnsiString TRegistry::HiveFile(RegistryHive root) {
    switch (root) {
    case RegistryHive::CurrentUser: return Dir() + "HKEY_CURRENT_USER.ini";
    case RegistryHive::ClassesRoot: return Dir() + "HKEY_CLASSES_ROOT.ini";
    case RegistryHive::LocalMachine: return Dir() + "HKEY_LOCAL_MACHINE.ini";
    }
    return Dir() + "HKEY_CURRENT_USER.ini";
}

void TRegistry::SetRootKey(RegistryHive root) {
    CloseKey();
    root_ = root;
    file_.reset();
}

TIniFile& TRegistry::file() const {
    if (!file_)
        file_ = std::make_unique<TIniFile>(HiveFile(root_));
    return *file_;
}

// Walked by characters of the code page: a "\\" that ends a double-byte character (Big5 許, 功 and
// 蓋 end in 5C) belongs to it and is never taken for a separator, so 客戶許功蓋 keeps its last byte
// and names no other key.
AnsiString TRegistry::normalize(std::string_view key) {
    size_t from = 0, end = 0; // the key runs from the first byte after the leading separators to
                              // the end of its last character that is not one
    for (size_t i = 0; i < key.size();) {
        const size_t n = codepage::CharLength(key, i);
        const bool separator = n == 1 && key[i] == '\\';
        if (!separator)
            end = i + n;
        else if (end == 0)
            from = i + 1;
        i += n;
    }
    return end > from ? AnsiString(key.substr(from, end - from)) : AnsiString();
}

bool TRegistry::KeyExists(std::string_view key) const { return file().SectionExists(normalize(key)); }

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    AnsiString k = normalize(key);
    if (!file().SectionExists(k)) {
        if (!canCreate)
            return false;
        file().AddSection(k);
    }
    key_ = k;
    open_ = true;
    readOnly_ = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view key) {
    AnsiString k = normalize(key);
    if (!file().SectionExists(k))
        return false;
    key_ = k;
    open_ = true;
    readOnly_ = true;
    return true;
}

void TRegistry::CloseKey() {
    key_.clear();
    open_ = false;
}

bool TRegistry::DeleteKey(std::string_view key) {
    AnsiString k = normalize(key);
    if (!file().SectionExists(k))
        return false;
    file().EraseSection(k);
    return true;
}

bool TRegistry::ValueExists(std::string_view name) const {
    return open_ && file().ValueExists(key_, valueName(name));
}

AnsiString TRegistry::ReadString(std::string_view name) const {
    if (!open_)
        return {};
    AnsiString v = file().ReadString(key_, valueName(name));
    if (v.rfind("dword:", 0) == 0)
        throw ERegistryException(Format("Invalid data type for '%s'", name));
    return v;
}

int TRegistry::ReadInteger(std::string_view name) const {
    AnsiString v = open_ ? file().ReadString(key_, valueName(name)) : AnsiString();
    if (v.rfind("dword:", 0) != 0)
        throw ERegistryException(Format("Invalid data type for '%s'", name));
    return StrToInt("$" + v.substr(6));
}

void TRegistry::WriteString(std::string_view name, const AnsiString& value) {
    if (!open_ || readOnly_)
        throw ERegistryException(Format("Failed to set data for '%s'", name));
    file().WriteString(key_, valueName(name), value);
}

void TRegistry::WriteStrings(const std::vector<TIniEntry>& values) {
    if (values.empty())
        return;
    if (!open_ || readOnly_)
        throw ERegistryException(Format("Failed to set data for '%s'", values[0].first));
    std::vector<TIniEntry> named;
    named.reserve(values.size());
    for (const auto& [name, value] : values)
        named.emplace_back(valueName(name), value);
    file().WriteStrings(key_, named);
}

void TRegistry::WriteInteger(std::string_view name, int value) {
    if (!open_ || readOnly_)
        throw ERegistryException(Format("Failed to set data for '%s'", name));
    char buf[32];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(value));
    file().WriteString(key_, valueName(name), buf);
}

bool TRegistry::DeleteValue(std::string_view name) {
    if (!open_ || readOnly_ || !ValueExists(name))
        return false;
    file().DeleteKey(key_, valueName(name));
    return true;
}

void TRegistry::GetValueNames(TStringList& names) const {
    names.Clear();
    if (open_)
        file().ReadSection(key_, names);
}

std::vector<TIniEntry> TRegistry::ReadStrings() const {
    if (!open_)
        return {};
    std::vector<TIniEntry> values = file().ReadSectionEntries(key_);
    for (auto& [name, value] : values) {
        if (name.empty()) // read as the default value, as ReadString reads an empty name
            value = file().ReadString(key_, valueName(name));
        if (value.rfind("dword:", 0) == 0)
            throw ERegistryException(Format("Invalid data type for '%s'", name));
    }
    return values;
}
