// Control types: the control-type list's lookups (a column's type and parameters, check-box
// values), embedded controls found by name on the search form or a frame on it, the per-column
// cache of control types, the clean-up of a dataset's own list, link values, and the picture-mask
// list's reader and writer.
//
// Column cache contract: after every ApplyColumnWidths the cache holds exactly ColCount() items, one
// per grid column (indicator included); an item's Control is a windowed control other than the
// date/time picker, or null; an embedded-control type without a control found is no type at all.
// Between two ApplyColumnWidths the cache is only read. Costs: a type lookup walks the whole list
// (last line wins), O(lines); the cache rebuild is O(columns x lines).
#include "core/Exception.h"
#include "data/DataSource.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxListLines.h"
#include "ui/Form.h"

#include <cassert>

namespace {
constexpr size_t kMaxParameters = 255;

// A string list the dataset publishes under that name, or null.
TStringList* publishedList(TDataSet* ds, std::string_view name) {
    if (!ds) return nullptr;
    PropValue v = ds->GetProperty(name);
    auto object = std::get_if<TPersistent*>(&v);
    return object ? dynamic_cast<TStringList*>(*object) : nullptr;
}

bool isDateTimeField(const TField* f) {
    return f && f->InheritsFrom("TDateTimeField");
}
} // namespace

bool TkxCustomDBGrid::IsEmbeddedControlType(std::string_view type) {
    return SameText(type, "CustomEdit") || SameText(type, "Combo") || SameText(type, "LookupCombo") ||
           SameText(type, "RichEdit");
}

const TStringList& TkxCustomDBGrid::EffectiveControlTypeList() const {
    if (controlInfoInDataset_)
        if (TStringList* own = publishedList(DataSet(), "ControlType")) return *own;
    return controlType_;
}

const TStringList& TkxCustomDBGrid::EffectivePictureMaskList() const {
    if (pictureMaskFromDataSet_)
        if (TStringList* own = publishedList(DataSet(), "PictureMasks")) return *own;
    return pictureMasks_;
}

void TkxCustomDBGrid::GetControlType(std::string_view fieldName, AnsiString& type,
                                     AnsiString& parameters) const {
    type.clear();
    parameters.clear();
    for (const AnsiString& line : EffectiveControlTypeList().Lines()) {
        std::vector<AnsiString> parts = SplitListLine(line, ';');
        if (parts[0] != fieldName) continue;
        type = parts.size() > 1 ? parts[1] : AnsiString();
        parameters = AnsiLeft(ListLineTail(line, ';', 2), kMaxParameters);
    }
}

bool TkxCustomDBGrid::FindCheckBoxValues(int gridCol, int gridRow, AnsiString& checkedValue,
                                         AnsiString& uncheckedValue) const {
    TField* f = DataCellField(gridCol, gridRow);
    if (!f || !DataSet()->Active()) return false;
    for (const AnsiString& line : EffectiveControlTypeList().Lines()) {
        std::vector<AnsiString> parts = SplitListLine(line, ';');
        if (parts.size() >= 4 && parts[0] == f->FieldName() && parts[1] == "CheckBox") {
            checkedValue = parts[2];
            uncheckedValue = parts[3];
            return true;
        }
    }
    return false;
}

void TkxCustomDBGrid::CheckBoxValuesFromParameters(std::string_view parameters, AnsiString& checkedValue,
                                                   AnsiString& uncheckedValue) {
    std::vector<AnsiString> parts = SplitListLine(parameters, ';');
    checkedValue = parts[0];
    uncheckedValue = parts.size() > 1 ? parts[1] : AnsiString();
}

bool TkxCustomDBGrid::CellShowsChecked(int gridCol) const {
    const TkxCacheColInfoItem& item = CacheItem(gridCol);
    if (item.Type != "CheckBox") return false;
    AnsiString checked, unchecked;
    CheckBoxValuesFromParameters(item.Parameters, checked, unchecked);
    return SameText(GetCellText(gridCol - IndicatorOffset()), checked);
}

bool TkxCustomDBGrid::IsControlCell(int, int) const {
    return false;
}

TWinControl* TkxCustomDBGrid::FindControlByName(std::string_view name) const {
    TForm* form = nullptr;
    if (editControlOptions_.Contains(ecoSearchOwnerForm)) {
        for (TComponent* c = const_cast<TkxCustomDBGrid*>(this); c && !form; c = c->Owner())
            form = dynamic_cast<TForm*>(c);
    } else {
        form = GetParentForm();
    }
    if (!form) return nullptr;
    TComponent* found = nullptr;
    size_t dot = AnsiFind(name, ".");
    if (dot == std::string_view::npos) {
        found = form->FindComponent(name);
    } else {
        std::string_view prefix = name.substr(0, dot), suffix = name.substr(dot + 1);
        if (suffix.empty()) return nullptr;
        // A prefix that names nothing ends the search.
        TComponent* holder = form->FindComponent(prefix);
        if (holder && holder->InheritsFrom("TCustomFrame"))
            found = holder->FindComponent(suffix);
        else if (holder && DataSet() && DataSet()->Owner())
            found = DataSet()->Owner()->FindComponent(suffix);
    }
    TWinControl* control = dynamic_cast<TWinControl*>(found);
    // The grid itself or a control that holds it cannot go inside one of its cells: the grid would
    // become its own parent. Such a name finds no control.
    for (const TWinControl* p = this; p && control; p = p->Parent())
        if (p == control) control = nullptr;
    return control;
}

TWinControl* TkxCustomDBGrid::FindEmbeddedControl(int gridCol, int gridRow) const {
    if (editControlOptions_.Contains(ecoDisableCustomControls)) return nullptr;
    TField* f = DataCellField(gridCol, gridRow);
    if (!f) return nullptr;
    TWinControl* control = nullptr;
    for (const AnsiString& line : EffectiveControlTypeList().Lines()) {
        std::vector<AnsiString> parts = SplitListLine(line, ';');
        if (parts[0] != f->FieldName() || parts.size() < 2 || !IsEmbeddedControlType(parts[1])) continue;
        TWinControl* w = FindControlByName(parts.size() > 2 ? parts[2] : AnsiString());
        if (w) {
            TForm* form = w->GetParentForm();
            if (!form || !form->InheritsFrom("TkxRecordViewForm")) control = w;
        }
        break;
    }
    if (!control && dateTimePicker_ && !editControlOptions_.Contains(ecoDisableDateTimePicker) &&
        isDateTimeField(f))
        return dateTimePicker_;
    return control;
}

void TkxCustomDBGrid::RebuildControlTypeCache() {
    const int ind = IndicatorOffset();
    cache_.assign(size_t(ColCount()), TkxCacheColInfoItem{});
    for (int c = 0; c < ColCount(); ++c) {
        TField* f = MappedField(c - ind);
        if (!f) continue;
        TkxCacheColInfoItem& item = cache_[size_t(c)];
        GetControlType(f->FieldName(), item.Type, item.Parameters);
        if (!IsEmbeddedControlType(item.Type)) continue;
        std::vector<AnsiString> params = SplitListLine(item.Parameters, ';');
        item.PaintFlag = params.size() > 1 && params[1] == "T";
        TWinControl* control = FindEmbeddedControl(c, 1);
        if (control && control != dateTimePicker_) {
            item.Control = control;
            const_cast<TkxCustomDBGrid*>(this)->FreeNotification(control);
        } else {
            // No control: a plain column.
            item.PaintFlag = false;
            item.Type.clear();
        }
    }
    assert(int(cache_.size()) == ColCount());
}

const TkxCacheColInfoItem& TkxCustomDBGrid::CacheItem(int gridCol) const {
    static const TkxCacheColInfoItem none;
    return gridCol >= 0 && gridCol < int(cache_.size()) ? cache_[size_t(gridCol)] : none;
}

void TkxCustomDBGrid::CleanDataSetControlTypes() {
    TDataSet* ds = DataSet();
    TStringList* own = controlInfoInDataset_ ? publishedList(ds, "ControlType") : nullptr;
    if (!own) return;
    for (int i = own->Count() - 1; i >= 0; --i)
        if (!ds->FindField(SplitListLine((*own)[i], ';')[0])) own->Delete(i);
}

void TkxCustomDBGrid::SplitLinkValue(std::string_view text, AnsiString& display, AnsiString& address) {
    std::vector<AnsiString> parts = SplitListLine(text, '#');
    display = parts[0];
    address = parts.size() > 1 ? parts[1] : AnsiString();
    if (address.empty()) address = display;
}

// ---- picture masks ----

void TkxCustomDBGrid::GetPictureMask(std::string_view fieldName, AnsiString& mask, bool& autoFill,
                                     bool& useMask) const {
    mask.clear();
    autoFill = useMask = true;
    for (const AnsiString& line : EffectivePictureMaskList().Lines())
        if (SameText(ListLineField(line, 0), fieldName)) {
            mask = ListLineField(line, 1);
            autoFill = ListLineField(line, 2) == "T";
            useMask = ListLineField(line, 3) == "T";
            return;
        }
}

void TkxCustomDBGrid::SetPictureMask(std::string_view fieldName, const AnsiString* mask, const bool* autoFill,
                                     const bool* useMask) {
    TStringList* list = pictureMaskFromDataSet_ ? publishedList(DataSet(), "PictureMasks") : nullptr;
    if (!list) list = &pictureMasks_;
    int at = -1;
    for (int i = 0; i < list->Count() && at < 0; ++i)
        if (SameText(ListLineField((*list)[i], 0), fieldName)) at = i;
    AnsiString m;
    bool a = true, u = true;
    if (at >= 0) {
        const AnsiString& line = (*list)[at];
        m = ListLineField(line, 1);
        a = ListLineField(line, 2) == "T";
        u = ListLineField(line, 3) == "T";
    }
    if (mask) m = *mask;
    if (autoFill) a = *autoFill;
    if (useMask) u = *useMask;
    const AnsiString line =
        AnsiString(fieldName) + '\t' + m + '\t' + (a ? "T" : "F") + '\t' + (u ? "T" : "F");
    if (at >= 0) {
        if (m.empty())
            list->Delete(at);
        else
            list->SetStrings(at, line);
    } else if (!m.empty()) {
        list->Add(line);
    }
}
