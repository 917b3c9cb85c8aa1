#include "grid/support/KxIniAttributes.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/IniFile.h"
#include "core/Registry.h"
#include "core/SysUtils.h"
#include "grid/support/KxIntl.h"

#include <optional>

void TkxIniAttributes::DefineProperties(ClassInfo& info) {
    using A = TkxIniAttributes;
    info.Add("Enabled", &A::Enabled, &A::SetEnabled);
    info.Add("SaveToRegistry", &A::SaveToRegistry, &A::SetSaveToRegistry);
    // FileName and SectionName read their resolved values.
    info.AddProperty({"FileName",
                      [](const TPersistent& o) { return PropValue(static_cast<const A&>(o).FileName()); },
                      [](TPersistent& o, const PropValue& v) {
                          if (auto* s = std::get_if<AnsiString>(&v)) static_cast<A&>(o).SetFileName(*s);
                      }});
    info.AddProperty({"SectionName",
                      [](const TPersistent& o) { return PropValue(static_cast<const A&>(o).SectionName()); },
                      [](TPersistent& o, const PropValue& v) {
                          if (auto* s = std::get_if<AnsiString>(&v)) static_cast<A&>(o).SetSectionName(*s);
                      }});
    info.Add("Delimiter", &A::Delimiter, &A::SetDelimiter);
    info.Add("CheckNewFields", &A::CheckNewFields, &A::SetCheckNewFields);
}

// This platform has no design time: the rules for a grid being designed never apply.
AnsiString TkxIniAttributes::FileName() const {
    if (!fileName_.empty()) return fileName_;
    if (!kxProcessIntl) return {};
    // A connected form's settings object leaves its name here without connecting the process-wide
    // one: a name there is used either way.
    AnsiString name = kxProcessIntl->IniFileName();
    if (!name.empty()) return name;
    if (!kxProcessIntl->Connected() || saveToRegistry_) return {};
    return ExeBaseName() + ".ini";
}

void TkxIniAttributes::SetFileName(const AnsiString& v) {
    if (v != fileName_) fileName_ = v;
}

AnsiString TkxIniAttributes::SectionName() const {
    if (!sectionName_.empty()) return sectionName_;
    return formName_ + (grid_ ? grid_->Name() : AnsiString());
}

void TkxIniAttributes::SetSectionName(const AnsiString& v) {
    if (v != sectionName_) sectionName_ = v;
}

void TkxIniAttributes::SetDelimiter(const AnsiString& v) {
    if (v != delimiter_) delimiter_ = v;
}

// ---- storage ----

TkxLayoutStore::TkxLayoutStore(bool registry, AnsiString fileName, AnsiString section)
    : registry_(registry), fileName_(std::move(fileName)), section_(std::move(section)) {}

std::vector<TkxLayoutEntry> TkxLayoutStore::Read() const {
    std::vector<TkxLayoutEntry> entries;
    if (registry_) {
        TRegistry reg(RegistryHive::CurrentUser);
        if (!reg.OpenKeyReadOnly(KeyPath())) return entries;
        for (auto& [name, value] : reg.ReadStrings())
            entries.push_back({std::move(name), std::move(value)});
        return entries;
    }
    if (fileName_.empty()) return entries;
    TIniFile ini(fileName_);
    TStringList lines;
    ini.ReadSectionValues(section_, lines);
    for (const AnsiString& line : lines.Lines()) {
        TkxLayoutEntry e;
        if (!SplitIniEntry(line, e.name, e.value)) continue;
        if (e.value.size() > kMaxProfileValue) e.value = AnsiLeft(e.value, kMaxProfileValue);
        entries.push_back(std::move(e));
    }
    return entries;
}

bool TkxLayoutStore::Replace(const std::vector<TkxLayoutEntry>& entries) {
    std::vector<TIniEntry> lines;
    lines.reserve(entries.size());
    for (const TkxLayoutEntry& e : entries)
        lines.emplace_back(e.name, e.value);
    if (registry_) {
        TRegistry reg(RegistryHive::CurrentUser);
        reg.DeleteKey(KeyPath());
        reg.OpenKey(KeyPath(), true);
        reg.WriteStrings(lines);
        return true;
    }
    if (fileName_.empty()) return true;
    std::optional<TIniFile> ini;
    try {
        ini.emplace(fileName_);
        ini->EraseSection(section_);
    } catch (const Exception&) {
        return false;
    }
    try {
        ini->WriteStrings(section_, lines);
    } catch (const EInOutError&) {
        throw EInOutError(Format("Unable to write to %s", fileName_));
    }
    return true;
}

// ---- stored values ----

AnsiString JoinLayoutValue(const std::vector<AnsiString>& parts, std::string_view delimiter) {
    AnsiString value;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) value += delimiter;
        value += parts[i];
    }
    return value;
}

bool LayoutEntryToListLine(const TkxLayoutEntry& entry, std::string_view delimiter, AnsiString& line) {
    if (delimiter.empty()) return false;
    size_t at = AnsiFind(entry.value, delimiter);
    if (at == AnsiString::npos) return false;
    line = entry.name + "\t";
    size_t from = 0;
    while (at != AnsiString::npos) {
        line.append(entry.value, from, at - from);
        line += '\t';
        from = at + delimiter.size();
        at = AnsiFind(entry.value, delimiter, from);
    }
    line.append(entry.value, from);
    return true;
}
