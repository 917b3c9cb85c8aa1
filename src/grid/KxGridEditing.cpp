// The grid side of in-place editing: whether the editor may show on the current cell and what it is
// filled with, whether a keystroke may change the cell, the pending text and its transfer into the
// field (picture mask, date scan, number scan), the reload of a showing editor, the embedded control
// shown over the current cell, and TkxDBGrid's date/time picker and field-changed report.
//
// Pending text contract: while the link is modified, editText_ is the text the user left in the
// editor for the current column's field and differs from nothing written yet; a transfer writes it
// and clears the flag, a failed transfer keeps both, a reload or a dataset change drops both. Costs:
// every question reads one field; a transfer converts the text once.
#include "core/Exception.h"
#include "core/SysUtils.h"
#include "data/DataSource.h"
#include "grid/KxDBDateTimePicker.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxInplaceEdit.h"
#include "ui/Form.h"

#include <cmath>
#include <ctime>

namespace {
constexpr int kOutOfSight = 10;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The date scan over one text: blanks, numbers (digits or a short month name) and separators.
struct DateScanner {
    std::string_view s;
    size_t pos = 0;

    void blanks() {
        while (pos < s.size() && s[pos] == ' ')
            ++pos;
    }
    // Digits while the value read so far is at most 999, else the three letters of a short month name.
    bool number(int& v) {
        blanks();
        if (pos < s.size() && isDigit(s[pos])) {
            v = 0;
            while (pos < s.size() && isDigit(s[pos]) && v <= 999)
                v = v * 10 + (s[pos++] - '0');
            return true;
        }
        if (pos + 3 > s.size()) return false;
        const std::string_view three = s.substr(pos, 3);
        const auto& names = FormatSettings().ShortMonthNames;
        for (int m = 0; m < 12; ++m)
            if (SameText(three, names[size_t(m)])) {
                v = m + 1;
                pos += 3;
                return true;
            }
        return false;
    }
    bool separator() {
        blanks();
        if (pos < s.size() && s[pos] == FormatSettings().DateSeparator) {
            ++pos;
            return true;
        }
        return false;
    }
};

TField* currentField(const TkxCustomDBGrid* g) {
    return g->MappedField(g->Col() - g->IndicatorOffset());
}
} // namespace

// ---- the scans of a transfer ----

bool TkxCustomDBGrid::ScanDate(std::string_view text, TDateTime& value, int epoch) {
    DateScanner sc{text};
    int n[3] = {0, 0, 0};
    if (!sc.number(n[0]) || !sc.separator() || !sc.number(n[1])) return false;
    int count = 2;
    if (sc.separator()) {
        if (!sc.number(n[2])) return false;
        count = 3;
    }
    sc.blanks();
    if (sc.pos != text.size()) return false;
    // The short date format's first D, M or Y decides the order.
    char order = 'M';
    for (char c : FormatSettings().ShortDateFormat) {
        const char u = c >= 'a' && c <= 'z' ? char(c - 32) : c;
        if (u == 'D' || u == 'M' || u == 'Y') {
            order = u;
            break;
        }
    }
    int y, m, d;
    if (count == 2) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        y = local.tm_year + 1900;
        if (order == 'D')
            d = n[0], m = n[1];
        else
            m = n[0], d = n[1];
    } else {
        if (order == 'D')
            d = n[0], m = n[1], y = n[2];
        else if (order == 'Y')
            y = n[0], m = n[1], d = n[2];
        else
            m = n[0], d = n[1], y = n[2];
        if (y < 100) {
            // Into the hundred years from the epoch on (1950: 00-49 are 2000-2049, 50-99 1950-1999).
            y += epoch - epoch % 100;
            if (y < epoch) y += 100;
        }
    }
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    value = EncodeDate(y, m, d);
    return true;
}

bool TkxCustomDBGrid::ScanNumber(std::string_view text, std::string_view displayFormat, double& value) {
    const char decimal = FormatSettings().DecimalSeparator;
    auto starts = [&](char c, bool minusToo) {
        return c == '(' || (minusToo && c == '-') || isDigit(c) || c == decimal;
    };
    size_t i = 0;
    while (i < text.size() && !starts(text[i], true))
        ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
        while (i < text.size() && !starts(text[i], false))
            ++i;
    }
    // Digits and the decimal separator; "(" stands for a minus sign; the rest (")", grouping,
    // currency, letters, blanks) goes.
    AnsiString clean = negative ? "-" : "";
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(')
            clean += '-';
        else if (isDigit(c))
            clean += c;
        else if (c == decimal)
            clean += '.';
    }
    double v;
    if (!TryStrToFloat(clean, v) || !std::isfinite(v)) return false;
    // A negative section without a sign: only the negation formats back to the text.
    if (v > 0 && FormatFloat(displayFormat, v) != text && FormatFloat(displayFormat, -v) == text) v = -v;
    value = v;
    return true;
}

// ---- the editor's questions ----

bool TkxCustomDBGrid::IsMemoCellField(const TField* field) {
    if (!field) return false;
    const TFieldType t = field->DataType();
    return t == ftMemo || t == ftFmtMemo || t == ftOraBlob || t == ftOraClob;
}

bool TkxCustomDBGrid::CanEditShow() {
    if (!TCustomGrid::CanEditShow()) return false;
    // Cells that show their own content, and memo cells, never get the text editor.
    if (IsControlCell(Col(), Row()) || IsMemoCellField(currentField(this))) return false;
    // An always-shown editor that was hidden stays hidden while the focus is elsewhere.
    TInplaceEdit* editor = InplaceEditor();
    return !(options_.Contains(dgAlwaysShowEditor) && !FocusedWithin() && editor && !editor->Visible());
}

AnsiString TkxCustomDBGrid::GetEditText(int col, int) {
    TField* f = link_->Active() ? MappedField(col - IndicatorOffset()) : nullptr;
    editText_ = f ? f->Text() : AnsiString();
    return editText_;
}

void TkxCustomDBGrid::SetEditText(int, int, const AnsiString& value) {
    editText_ = value;
}

AnsiString TkxCustomDBGrid::GetEditMask(int col, int) {
    TField* f = link_->Active() ? MappedField(col - IndicatorOffset()) : nullptr;
    return f ? f->EditMask() : AnsiString();
}

int TkxCustomDBGrid::GetEditLimit() {
    TField* f = currentField(this);
    return f && f->InheritsFrom("TStringField") ? f->Size() : 0;
}

bool TkxCustomDBGrid::CanEditAcceptKey(char key) {
    TField* f = currentField(this);
    return f ? f->IsValidChar(key) : TCustomGrid::CanEditAcceptKey(key);
}

bool TkxCustomDBGrid::CanEditModify() {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds || readOnly_ || link_->ReadOnly() || MappedFieldCount() == 0) return false;
    // Typing into an empty dataset would insert a record.
    if (ds->Bof() && ds->Eof() && DataSource()->State() == dsBrowse && !keyOptions_.Contains(dgAllowInsert))
        return false;
    TField* f = currentField(this);
    if (!f) return false;
    const bool fieldModifiable =
        f->FieldKind() == fkCalculated ? editCalculated_ && !f->ReadOnly() : f->CanModify();
    if (!fieldModifiable || ColumnAt(Col() - IndicatorOffset()).ReadOnly()) return false;
    link_->Edit();
    if (!link_->Editing()) return false;
    link_->SetModified();
    return true;
}

TInplaceEdit* TkxCustomDBGrid::CreateEditor() {
    return new TkxInplaceEdit(this);
}

// ---- transfer and reload ----

bool TkxCustomDBGrid::WriteEditText() {
    TField* f = currentField(this);
    if (!f) {
        link_->modified_ = false;
        return false;
    }
    // A text that fails the column's mask is not written: the dataset's handler or the settings
    // object says so (by default a beep and an exception that stops the post).
    if (auto* editor = dynamic_cast<TkxInplaceEdit*>(InplaceEditor()); editor && editor->UsePicture()) {
        const TkxPictureInput mask(editor->Picture());
        if (!mask.CheckWrite(editor, DataSet(), f, editText_, editor->Picture().AllowInvalidExit()))
            return false;
    }
    const AnsiString text = editText_;
    TDateTime date;
    double number;
    if (f->InheritsFrom("TDateTimeField") && ScanDate(text, date)) {
        // The time of day comes from the framework's own reading of the text (none for a date alone).
        const TDateTime whole = StrToDateTime(text);
        const double time = std::fabs(whole - std::trunc(whole));
        f->SetAsDateTime(date < 0 ? date - time : date + time);
    } else if ((f->InheritsFrom("TFloatField") || f->InheritsFrom("TIntegerField")) && !text.empty() &&
               !dynamic_cast<TNumericField*>(f)->DisplayFormat().empty() &&
               ScanNumber(text, dynamic_cast<TNumericField*>(f)->DisplayFormat(), number)) {
        if (f->InheritsFrom("TFloatField")) {
            f->SetAsFloat(number);
        } else {
            // Halves to even; a number no integer holds goes to the field's own conversion, which says so.
            const double whole = std::nearbyint(number);
            if (std::fabs(whole) < 9.2e18)
                f->SetAsLargeInt(static_cast<int64_t>(whole));
            else
                f->SetText(text);
        }
    } else {
        f->SetText(text);
    }
    link_->modified_ = false;
    return true;
}

void TkxCustomDBGrid::ReloadEditor() {
    TField* f = currentField(this);
    if (!f || !EditorShowing() || f->Text() == editText_) return;
    TInplaceEdit* editor = InplaceEditor();
    editor->UpdateContents();
    editor->SetSelStart(int(editor->Text().size()));
}

// ---- embedded controls ----

void TkxCustomDBGrid::ShowEmbeddedControl() {
    if (!FocusedWithin()) return;
    TWinControl* c = FindEmbeddedControl(Col(), Row());
    if (!c) return;
    HideEditor();
    // Out of sight first, so that it never shows at its old place.
    c->SetLeft(ClientWidth() + kOutOfSight);
    c->Show();
    const TRect r = CellRect(Col(), Row());
    if (!r.IsEmpty()) {
        const TRect place = Bounds(r.Left, r.Top, ColWidths(Col()), DefaultRowHeight());
        if (c->BoundsRect() != place) c->SetBoundsRect(place);
    }
    if (auto* edit = dynamic_cast<TCustomEdit*>(c)) edit->SetModified(false);
    TForm* form = GetParentForm();
    if (options_.Contains(dgAlwaysShowEditor) && form && form->Active() && c->CanFocus()) c->SetFocus();
    c->Invalidate();
}

// ---- TkxDBGrid: the date/time picker ----

TkxDBCustomDateTimePicker* TkxDBGrid::DateTimePicker() const {
    return dynamic_cast<TkxDBCustomDateTimePicker*>(dateTimePicker_);
}

void TkxDBGrid::UpdateCurrentEmbeddedControl() {
    TkxCustomDBGrid::UpdateCurrentEmbeddedControl();
    if (Loading() || Options().Contains(dgRowSelect)) return;
    const bool editingAllowed = Options().Contains(dgEditing) && !ReadOnly();
    if (currentEmbeddedControl_ && !EditControlOptions().Contains(ecoDisableCustomControls) &&
        editingAllowed) {
        PlaceEmbeddedControl();
        return;
    }
    TField* f = MappedField(Col() - IndicatorOffset());
    if (!f || !f->InheritsFrom("TDateTimeField") || EditControlOptions().Contains(ecoDisableDateTimePicker))
        return;
    TkxDBCustomDateTimePicker* picker = DateTimePicker();
    if (!picker) {
        picker = new TkxDBDateTimePicker(this);
        picker->Hide();
        picker->SetParent(this);
        picker->SetBorderSingle(false);
        dateTimePicker_ = picker;
        FreeNotification(picker);
        if (OnCreateDateTimePicker) OnCreateDateTimePicker(this, picker);
    }
    // The picker is the cell's control now: it is hidden, placed and written as any embedded control.
    currentEmbeddedControl_ = picker;
    picker->SetDataSource(DataSource());
    picker->SetDataField(f->FieldName());
    picker->SetReadOnly(f->ReadOnly() || ColumnAt(Col() - IndicatorOffset()).ReadOnly());
    picker->Hide();
    const TRect r = CellRect(Col(), Row());
    if (!r.IsEmpty()) {
        const TRect place = Bounds(r.Left, r.Top, ColWidths(Col()), DefaultRowHeight());
        if (picker->BoundsRect() != place) picker->SetBoundsRect(place);
    }
    picker->HandleNeeded();
}
