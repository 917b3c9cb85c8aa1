#pragma once
// TkxIniAttributes: the settings with which a grid keeps its column layout between runs (an ini-file
// section or a registry key, one entry per column). This object holds the stored settings and the
// form name recorded at the end of loading; reading and writing a layout belong to the grid. The
// setters only store (FileName, SectionName and Delimiter when the value differs); nothing loads or
// saves as a side effect. FileName and SectionName answer the stored text here; the rules that
// resolve empty values come with the layout reading and writing.
#include "core/Component.h"

class TkxIniAttributes : public TPersistent {
    MORVANE_CLASS_PROPS(TkxIniAttributes, TPersistent)
public:
    // `grid` owns the object; it is not freed through it.
    explicit TkxIniAttributes(TComponent* grid) : grid_(grid) {}

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v) { enabled_ = v; }
    bool SaveToRegistry() const { return saveToRegistry_; }
    void SetSaveToRegistry(bool v) { saveToRegistry_ = v; }
    const AnsiString& FileName() const { return fileName_; }
    void SetFileName(const AnsiString& v);
    const AnsiString& SectionName() const { return sectionName_; }
    void SetSectionName(const AnsiString& v);
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
