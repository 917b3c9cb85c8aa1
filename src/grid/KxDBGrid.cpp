// TkxDBGrid: the published settings by name and the published grid's own additions (see the
// header). Activation applies the column list once per activation: O(fields + lines); the set-up of
// embedded controls runs once per grid.
#include "grid/KxDBGrid.h"

#include "core/Guard.h"
#include "data/DataSource.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxGridExport.h"
#include "grid/KxListLines.h"
#include "ui/Form.h"
#include "ui/ImageList.h"

namespace {
bool hasCalculatedField(const TDataSet* ds) {
    for (TField* f : ds->FieldList())
        if (f->FieldKind() == fkCalculated) return true;
    return false;
}
} // namespace

void TkxDBGrid::DefineProperties(ClassInfo& info) {
    using G = TkxCustomDBGrid;
    info.Add("DataSource", &G::DataSource, &G::SetDataSource);
    info.Add("Selected", &G::Selected, &G::SetSelected);
    info.Add("UseTFields", &G::UseTFields, &G::SetUseTFields);
    info.AddSet("Options", &G::Options, &G::SetOptions);
    info.AddSet("KeyOptions", &G::KeyOptions, &G::SetKeyOptions);
    info.AddSet("MultiSelectOptions", &G::MultiSelectOptions, &G::SetMultiSelectOptions);
    info.AddSet("EditControlOptions", &G::EditControlOptions, &G::SetEditControlOptions);
    info.Add("PadColumnStyle", &G::PadColumnStyle, &G::SetPadColumnStyle);
    info.Add("FixedCols", &G::FixedCols, &G::SetFixedCols);
    info.Add("TitleLines", &G::TitleLines, &G::SetTitleLines);
    info.Add("TitleFont", &G::TitleFont, &G::SetTitleFont);
    info.Add("TitleAlignment", &G::TitleAlignment, &G::SetTitleAlignment);
    info.Add("TitleColor", &G::TitleColor, &G::SetTitleColor);
    info.Add("RowHeightPercent", &G::RowHeightPercent, &G::SetRowHeightPercent);
    info.Add("EditCalculated", &G::EditCalculated, &G::SetEditCalculated);
    info.Add("ReadOnly", &G::ReadOnly, &G::SetReadOnly);
    info.Add("ShowHorzScrollBar", &G::ShowHorzScrollBar, &G::SetShowHorzScrollBar);
    info.Add("ShowVertScrollBar", &G::ShowVertScrollBar, &G::SetShowVertScrollBar);
    info.Add("IndicatorButton", &G::IndicatorButton, &G::SetIndicatorButton);
    info.Add("ControlType", &G::ControlType, &G::SetControlType);
    info.Add("ControlInfoInDataset", &G::ControlInfoInDataset, &G::SetControlInfoInDataset);
    info.Add("PictureMasks", &G::PictureMasks, &G::SetPictureMasks);
    info.Add("PictureMaskFromDataSet", &G::PictureMaskFromDataSet, &G::SetPictureMaskFromDataSet);
    info.Add("TitleButtons", &TkxDBGrid::TitleButtons, &TkxDBGrid::SetTitleButtons);
    info.Add("ImeMode", &TWinControl::ImeMode, &TWinControl::SetImeMode);
    info.Add("ImeName", &TWinControl::ImeName, &TWinControl::SetImeName);
    info.Add("DisableThemes", &TkxDBGrid::DisableThemes, &TkxDBGrid::SetDisableThemes);
    info.AddSet("MemoAttributes", &TkxDBGrid::MemoAttributes, &TkxDBGrid::SetMemoAttributes);
    info.AddProperty({"IniAttributes",
                      [](const TPersistent& o) {
                          return PropValue(
                              static_cast<TPersistent*>(static_cast<const TkxDBGrid&>(o).IniAttributes()));
                      },
                      {}});
    info.AddProperty({"ExportOptions",
                      [](const TPersistent& o) {
                          return PropValue(
                              static_cast<TPersistent*>(static_cast<const TkxDBGrid&>(o).ExportOptions()));
                      },
                      {}});
    // ---- painting ----
    info.Add("DefaultDrawing", &G::DefaultDrawing, &G::SetDefaultDrawing);
    info.Add("TitleImageList", &G::TitleImageList, &G::SetTitleImageList);
    info.Add("ImageList", &G::ImageList, &G::SetImageList);
    info.Add("IndicatorColor", &G::IndicatorColor, &G::SetIndicatorColor);
    info.Add("IndicatorIconColor", &G::IndicatorIconColor, &G::SetIndicatorIconColor);
    info.Add("LineStyle", &G::LineStyle, &G::SetLineStyle);
    info.Add("HideAllLines", &G::HideAllLines, &G::SetHideAllLines);
    info.Add("FooterColor", &G::FooterColor, &G::SetFooterColor);
    info.Add("FooterCellColor", &G::FooterCellColor, &G::SetFooterCellColor);
    info.Add("FooterHeight", &G::FooterHeight, &G::SetFooterHeight);
    info.AddProperty({"LineColors",
                      [](const TPersistent& o) {
                          const TkxGridLineColors* colors = static_cast<const G&>(o).LineColors();
                          return PropValue(static_cast<TPersistent*>(const_cast<TkxGridLineColors*>(colors)));
                      },
                      [](TPersistent& o, const PropValue& v) {
                          if (auto p = std::get_if<TPersistent*>(&v))
                              static_cast<G&>(o).SetLineColors(dynamic_cast<const TkxGridLineColors*>(*p));
                      }});
    info.AddProperty({"PaintOptions",
                      [](const TPersistent& o) {
                          TkxGridPaintOptions* options = static_cast<const G&>(o).PaintOptions();
                          return PropValue(static_cast<TPersistent*>(options));
                      },
                      {}});
}

TkxDBGrid::TkxDBGrid(TComponent* owner)
    : TkxCustomDBGrid(owner), iniAttributes_(std::make_unique<TkxIniAttributes>(this)),
      exportFace_(std::make_unique<TkxGridExportFace>(*this)),
      exportOptions_(std::make_unique<TkxExportOptions>(this, exportFace_.get())) {}

TkxDBGrid::~TkxDBGrid() {
    Destroying(true);
    if (iniAttributes_->Enabled()) SaveLayout();
}

void TkxDBGrid::SetTitleButtons(bool v) {
    titleButtons_ = v;
    Invalidate();
}

void TkxDBGrid::SetDisableThemes(bool v) {
    disableThemes_ = v;
    Invalidate();
}

void TkxDBGrid::Loaded() {
    TkxCustomDBGrid::Loaded();
    TForm* form = GetParentForm();
    iniAttributes_->SetFormName(form ? form->Name() : AnsiString());
    SetUpEmbeddedControls();
}

void TkxDBGrid::CreateWnd() {
    TkxCustomDBGrid::CreateWnd();
    if (!layoutLoadPending_) return;
    layoutLoadPending_ = false;
    if (iniAttributes_->Enabled()) LoadLayout();
}

// ---- activation ----

void TkxDBGrid::ActivationChanged(bool active) {
    const bool earlier = activating_ > 0;
    TCountGuard activating(activating_);
    if (Destroying() && iniAttributes_->Enabled()) SaveLayout();
    if (dateTimePicker_) dateTimePicker_->SetProperty("DataField", AnsiString());
    TkxCustomDBGrid::ActivationChanged(active);
    TDataSet* ds = DataSet();
    if (!active || earlier || !DataSource() || !ds) return;
    DiscardProportionalWidths();
    if (Options().Contains(dgProportionalColResize)) RebuildLayout();
    SetUpEmbeddedControls();
    ds->DisableControls();
    try {
        currentEmbeddedControl_ = nullptr;
        if (ControlInfoInDataset()) CleanDataSetControlTypes();
        // A dataset with a calculated field keeps its own field attributes.
        if (Selected().Count() > 0 && !hasCalculatedField(ds)) ApplyColumnList();
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
}

// ---- control types ----

void TkxDBGrid::GetControlType(std::string_view fieldName, AnsiString& type, AnsiString& parameters) const {
    TkxCustomDBGrid::GetControlType(fieldName, type, parameters);
    if (EditControlOptions().Contains(ecoDisableCustomControls) && IsEmbeddedControlType(type)) type.clear();
}

bool TkxDBGrid::IsControlCell(int gridCol, int gridRow) const {
    TField* f = DataCellField(gridCol, gridRow);
    if (!f) return false;
    AnsiString type, parameters;
    GetControlType(f->FieldName(), type, parameters);
    if (type == "Bitmap" || type == "ImageIndex" || type == "CheckBox") return true;
    if (IsEmbeddedControlType(type)) return FindControlByName(SplitListLine(parameters, ';')[0]) != nullptr;
    return !EditControlOptions().Contains(ecoDisableDateTimePicker) && f->InheritsFrom("TDateTimeField");
}

void TkxDBGrid::SetUpEmbeddedControls() {
    if (embeddedSetUp_ || !DataSource() || !DataSet() || Loading() ||
        EditControlOptions().Contains(ecoDisableCustomControls))
        return;
    const std::vector<AnsiString> lines = EffectiveControlTypeList().Lines();
    for (const AnsiString& line : lines) {
        std::vector<AnsiString> parts = SplitListLine(line, ';');
        if (parts.size() < 2 || !IsEmbeddedControlType(parts[1])) continue;
        TWinControl* c = FindControlByName(ListLinePart(parts, 2));
        if (!c) continue;
        c->Hide();
        c->SetParent(this);
        if (std::holds_alternative<TPersistent*>(c->GetProperty("DataSource")))
            c->SetProperty("DataSource", PropValue(static_cast<TPersistent*>(DataSource())));
        if (std::holds_alternative<AnsiString>(c->GetProperty("DataField")))
            c->SetProperty("DataField", PropValue(parts[0]));
        c->SetCtl3DBorder(false);
        c->SetFont(*Font());
        if (c->InheritsFrom("TkxDataInspector")) c->SetScrollBars(ssNone);
    }
    embeddedSetUp_ = true;
}

void TkxDBGrid::ApplyColumnWidths() {
    TkxCustomDBGrid::ApplyColumnWidths();
    if (!DataLink().Active()) return;
    // Calculated control columns stay reachable by Tab.
    const int ind = IndicatorOffset();
    for (int i = 0; i < MappedFieldCount() && i + ind < ColCount(); ++i) {
        TField* f = MappedField(i);
        if (!f || f->FieldKind() != fkCalculated) continue;
        const int c = i + ind;
        const AnsiString& type = CacheItem(c).Type;
        if (FindEmbeddedControl(c, TitleRowCount()) ||
            (SameText(f->FieldName(), "selected") && type == "CheckBox") || type == "Bitmap" ||
            type == "ImageIndex")
            SetTabStops(c, true);
    }
    PlaceEmbeddedControl();
}

// ---- records ----

void TkxDBGrid::RecordsScrolled(int distance) {
    TWinControl* c = currentEmbeddedControl_;
    if (Visible() && c && c->Visible()) {
        TForm* form = GetParentForm();
        if (form && form->ActiveControl() == c && CanFocus()) SetFocus();
    }
    TkxCustomDBGrid::RecordsScrolled(distance);
}

void TkxDBGrid::RecordChanged(TField* field) {
    TkxCustomDBGrid::RecordChanged(field);
    TDataSet* ds = DataSet();
    if (field && ds && IsEditState(ds->State())) fieldChangedMark_ = true;
}

void TkxDBGrid::UpdateData() {
    // Whether the transfer changes the field's edit text is known only before it.
    TField* f = MappedField(Col() - IndicatorOffset());
    const bool differed = DataLink().Modified() && f && f->Text() != PendingEditText();
    TkxCustomDBGrid::UpdateData();
    if (editTextWritten_) {
        // The editor's text is written: no field changed since.
        editTextWritten_ = false;
        fieldChangedMark_ = false;
        if (differed && OnFieldChanged) OnFieldChanged(this, f);
    }
    // The embedded control writes its own value when it is told it is left.
    if (currentEmbeddedControl_ && currentEmbeddedControl_->Visible()) currentEmbeddedControl_->DoExit();
}

AnsiString TkxDBGrid::GetCellText(int dataCol) const {
    TField* f = MappedField(dataCol);
    if (!f) return {};
    if (IsMemoField(f)) {
        if (!memoAttributes_.Contains(mGridShow)) return "(Memo)";
        // A text that cannot be read shows the placeholder.
        try {
            return f->AsString();
        } catch (const std::exception&) {
            return "(Memo)";
        }
    }
    if (CacheItem(dataCol + IndicatorOffset()).Type == "URL-Link") {
        AnsiString display, address;
        SplitLinkValue(f->DisplayText(), display, address);
        return display;
    }
    return TkxCustomDBGrid::GetCellText(dataCol);
}
