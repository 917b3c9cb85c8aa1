#include "core/IniFile.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/SysUtils.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ForceDirectories(const AnsiString& dir) {
    if (dir.empty())
        return true;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    AnsiString trimmed = dir;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.rfind('/');
    if (slash != AnsiString::npos && slash > 0 && !ForceDirectories(trimmed.substr(0, slash)))
        return false;
    return ::mkdir(trimmed.c_str(), 0755) == 0 || errno == EEXIST;
}

bool SplitIniEntry(std::string_view entry, AnsiString& name, AnsiString& value) {
    size_t eq = entry.find('=');
    if (eq == std::string_view::npos)
        return false;
    name = Trim(entry.substr(0, eq));
    value = Trim(entry.substr(eq + 1));
    return true;
}

AnsiString TIniFile::ProfileDir() {
    if (const char* dir = std::getenv("KESTRIN_PROFILE_DIR"); dir && *dir)
        return AnsiString(dir) + (AnsiString(dir).back() == '/' ? "" : "/");
    return HomeDir() + "/.config/kestrin/";
}

TIniFile::TIniFile(const AnsiString& fileName) : path_(fileName) {
    if (path_.find('/') == AnsiString::npos)
        path_ = ProfileDir() + path_;
    load();
}

namespace {
// The whole text of a regular file; empty for anything else, and for a file others could have
// written (a planted hive or profile is as good as none). Opened without waiting, so a pipe named
// in its place cannot hold the caller.
std::string readRegularFile(const AnsiString& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !WritableOnlyByOwner(path))
        return {};
    if (st.st_size > MaxIniFileSize)
        throw EInOutError(Format("File '%s' is larger than 16 MB", path));
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    bool tooLarge = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buf[65536];
        ssize_t n;
        while (!tooLarge && (n = ::read(fd, buf, sizeof buf)) > 0) {
            text.append(buf, size_t(n));
            tooLarge = text.size() > size_t(MaxIniFileSize);
        }
    }
    ::close(fd);
    if (tooLarge)
        throw EInOutError(Format("File '%s' is larger than 16 MB", path));
    return text;
}
} // namespace

void TIniFile::load() {
    sections_.clear();
    std::istringstream in(readRegularFile(path_));
    std::string raw;
    Section* current = nullptr;
    while (std::getline(in, raw)) {
        AnsiString line = Trim(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            sections_.push_back({Trim(std::string_view(line).substr(1, line.size() - 2)), {}});
            current = &sections_.back();
            continue;
        }
        if (!current)
            continue;
        AnsiString name, value;
        current->entries.push_back(SplitIniEntry(line, name, value) ? name + "=" + value : line);
    }
}

void TIniFile::save() const {
    ForceDirectories(ExtractFilePath(path_));
    std::ostringstream out;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i)
            out << "\n";
        out << "[" << sections_[i].name << "]\n";
        for (const AnsiString& e : sections_[i].entries)
            out << e << "\n";
    }
    AnsiString tmp = path_ + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f << out.str();
        if (!f.flush())
            throw EInOutError(Format("Cannot write file %s", path_));
    }
    // Replace the file whole, so a failed write never leaves half a profile behind.
    if (std::rename(tmp.c_str(), path_.c_str()) != 0)
        throw EInOutError(Format("Cannot write file %s", path_));
}

const TIniFile::Section* TIniFile::find(std::string_view section) const {
    for (const Section& s : sections_)
        if (SameText(s.name, section))
            return &s;
    return nullptr;
}

TIniFile::Section& TIniFile::ensure(std::string_view section) {
    if (const Section* s = find(section))
        return const_cast<Section&>(*s);
    sections_.push_back({AnsiString(section), {}});
    return sections_.back();
}

bool TIniFile::SectionExists(std::string_view section) const { return find(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    TStringList keys;
    ReadSection(section, keys);
    return keys.IndexOf(key) >= 0;
}

AnsiString TIniFile::ReadString(std::string_view section, std::string_view key, const AnsiString& def) const {
    const Section* s = find(section);
    if (!s)
        return def;
    AnsiString name, value;
    for (const AnsiString& e : s->entries)
        if (SplitIniEntry(e, name, value) && SameText(name, key))
            return value;
    return def;
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    return StrToIntDef(ReadString(section, key), def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::ReadSection(std::string_view section, TStringList& keys) const {
    keys.Clear();
    if (const Section* s = find(section)) {
        AnsiString name, value;
        for (const AnsiString& e : s->entries)
            if (SplitIniEntry(e, name, value))
                keys.Add(name);
    }
}

void TIniFile::ReadSectionValues(std::string_view section, TStringList& lines) const {
    lines.Clear();
    if (const Section* s = find(section))
        for (const AnsiString& e : s->entries)
            lines.Add(e);
}

std::vector<TIniEntry> TIniFile::ReadSectionEntries(std::string_view section) const {
    std::vector<TIniEntry> entries;
    const Section* s = find(section);
    if (!s)
        return entries;
    std::unordered_map<AnsiString, size_t> first; // where each key was first seen
    AnsiString name, value;
    for (const AnsiString& e : s->entries)
        if (SplitIniEntry(e, name, value)) {
            const auto [it, added] = first.try_emplace(UpperCase(name), entries.size());
            entries.emplace_back(name, added ? value : entries[it->second].second);
        }
    return entries;
}

void TIniFile::ReadSections(TStringList& sections) const {
    sections.Clear();
    for (const Section& s : sections_)
        sections.Add(s.name);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, const AnsiString& value) {
    Section& s = ensure(section);
    AnsiString name, old;
    AnsiString line = AnsiString(key) + "=" + value;
    bool done = false;
    for (AnsiString& e : s.entries)
        if (SplitIniEntry(e, name, old) && SameText(name, key)) {
            e = line;
            done = true;
            break;
        }
    if (!done)
        s.entries.push_back(line);
    save();
}

void TIniFile::WriteStrings(std::string_view section, const std::vector<TIniEntry>& entries) {
    Section& s = ensure(section);
    // Where each key of the section stands, under its name with ASCII letters folded, so that a key
    // already there keeps its place as WriteString keeps it.
    std::unordered_map<AnsiString, size_t> at;
    AnsiString name, old;
    for (size_t i = 0; i < s.entries.size(); ++i)
        if (SplitIniEntry(s.entries[i], name, old))
            at.try_emplace(UpperCase(name), i);
    for (const auto& [key, value] : entries) {
        AnsiString line = key + "=" + value;
        const auto [it, added] = at.try_emplace(UpperCase(key), s.entries.size());
        if (added)
            s.entries.push_back(std::move(line));
        else
            s.entries[it->second] = std::move(line);
    }
    save();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    const Section* found = find(section);
    if (!found)
        return;
    Section& s = const_cast<Section&>(*found);
    AnsiString name, value;
    std::erase_if(s.entries, [&](const AnsiString& e) { return SplitIniEntry(e, name, value) && SameText(name, key); });
    save();
}

void TIniFile::EraseSection(std::string_view section) {
    size_t before = sections_.size();
    std::erase_if(sections_, [&](const Section& s) { return SameText(s.name, section); });
    if (sections_.size() != before)
        save();
}

void TIniFile::AddSection(std::string_view section) {
    if (find(section))
        return;
    ensure(section);
    save();
}
