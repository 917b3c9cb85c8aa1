#include "grid/support/KxIniAttributes.h"

void TkxIniAttributes::DefineProperties(ClassInfo& info) {
    info.Add("Enabled", &TkxIniAttributes::Enabled, &TkxIniAttributes::SetEnabled);
    info.Add("SaveToRegistry", &TkxIniAttributes::SaveToRegistry, &TkxIniAttributes::SetSaveToRegistry);
    info.Add("FileName", &TkxIniAttributes::FileName, &TkxIniAttributes::SetFileName);
    info.Add("SectionName", &TkxIniAttributes::SectionName, &TkxIniAttributes::SetSectionName);
    info.Add("Delimiter", &TkxIniAttributes::Delimiter, &TkxIniAttributes::SetDelimiter);
    info.Add("CheckNewFields", &TkxIniAttributes::CheckNewFields, &TkxIniAttributes::SetCheckNewFields);
}

void TkxIniAttributes::SetFileName(const AnsiString& v) {
    if (v != fileName_) fileName_ = v;
}

void TkxIniAttributes::SetSectionName(const AnsiString& v) {
    if (v != sectionName_) sectionName_ = v;
}

void TkxIniAttributes::SetDelimiter(const AnsiString& v) {
    if (v != delimiter_) delimiter_ = v;
}
