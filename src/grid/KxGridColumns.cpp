// The column model: the column records (TkxColumn) and the null column, the field map's use, the
// columns' pixel widths from character widths and titles, tab stops, fixed columns, row heights,
// applying the column list onto the fields, the options and the setters that shape columns, group
// header runs and bands, and making a data column current.
//
// Costs: BuildColumns and ApplyColumnWidths are O(fields + lines x line length) and measure one text
// per title piece; FindColumn is O(columns); a TkxColumn read finds its line in O(lines). None reads
// a record.
#include "core/Exception.h"
#include "core/Format.h"
#include "core/Guard.h"
#include "core/SysUtils.h"
#include "data/DataSource.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxListLines.h"
#include "ui/InplaceEdit.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {
constexpr int kNoFieldWidth = 64;
constexpr int kCellMargin = 4;
constexpr int kReadOnlyField = 3;
constexpr int kGroupField = 4;

// Options whose change reshapes the layout, those that enter column widths and row heights included.
// clang-format off
constexpr TkxDBGridOptions kLayoutOptions{dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColLines, dgRowLines,
                                          dgRowSelect, dgAlwaysShowSelection, dgPerfectRowFit, dgShowFooter,
                                          dgProportionalColResize, dgNoLimitColSize, dgRowLinesDisableFixed};
// clang-format on
} // namespace

// ---- column records ----

int TkxColumn::line() const {
    return grid_->FindSelectedLine(fieldName_);
}

int TkxColumn::DisplayWidth() const {
    if (null_) return 0;
    if (grid_->UseTFields())
        if (TDataSet* ds = grid_->DataSet())
            if (TField* f = ds->FindField(fieldName_)) return f->DisplayWidth();
    int l = line();
    return l < 0 ? 0 : StrToInt(ListLineField(grid_->selected_[l], 1));
}

void TkxColumn::SetDisplayWidth(int n) {
    if (null_) return;
    // The field's change would rebuild the layout; the widths are applied here instead.
    TCountGuard busy(grid_->layoutBusy_);
    int l = line();
    if (l >= 0) grid_->selected_.SetStrings(l, SetListLineField(grid_->selected_[l], 1, IntToStr(n)));
    if (grid_->UseTFields())
        if (TDataSet* ds = grid_->DataSet()) ds->FieldByName(fieldName_)->SetDisplayWidth(n);
    grid_->ApplyColumnWidths();
}

AnsiString TkxColumn::DisplayLabel() const {
    if (null_) return {};
    if (grid_->UseTFields())
        if (TDataSet* ds = grid_->DataSet())
            if (TField* f = ds->FindField(fieldName_)) return f->DisplayName();
    int l = line();
    return l < 0 ? AnsiString() : ListLineField(grid_->selected_[l], 2);
}

bool TkxColumn::ReadOnly() const {
    if (null_) return false;
    int l = line();
    return l >= 0 && ListLineField(grid_->selected_[l], kReadOnlyField) == "T";
}

AnsiString TkxColumn::GroupHeaderName() const {
    if (null_) return {};
    int l = line();
    return l < 0 ? AnsiString() : ListLineField(grid_->selected_[l], kGroupField);
}

void TkxColumn::SetFooterText(const AnsiString& text) {
    if (null_ || text == footerText_) return;
    footerText_ = text;
    if (grid_->Options().Contains(dgShowFooter)) grid_->Invalidate();
}

uint8_t* TkxColumn::RowDrawFlags() {
    if (!rowDrawFlags_) {
        rowDrawFlags_ = std::make_unique<uint8_t[]>(kRowDrawFlagRows);
        std::fill_n(rowDrawFlags_.get(), kRowDrawFlagRows, uint8_t(0));
    }
    return rowDrawFlags_.get();
}

// ---- lookups ----

int TkxCustomDBGrid::FindSelectedLine(std::string_view fieldName) const {
    for (int i = 0; i < selected_.Count(); ++i) {
        const AnsiString& l = selected_[i];
        size_t tab = AnsiFind(l, "\t");
        if (SameText(std::string_view(l).substr(0, tab), fieldName)) return i;
    }
    return -1;
}

TkxColumn& TkxCustomDBGrid::FindColumn(std::string_view fieldName) const {
    for (const auto& c : columns_)
        if (SameText(c->FieldName(), fieldName)) return *c;
    return *nullColumn_;
}

TkxColumn& TkxCustomDBGrid::ColumnAt(int dataCol) const {
    if (dataCol < 0) return *nullColumn_;
    if (link_->MappedCount() > 0) {
        TField* f = dataCol < link_->MappedCount() ? MappedField(dataCol) : nullptr;
        return f ? FindColumn(f->FieldName()) : *nullColumn_;
    }
    if (dataCol >= selected_.Count()) return *nullColumn_;
    return FindColumn(ListLineField(selected_[dataCol], 0));
}

int TkxCustomDBGrid::MappedFieldCount() const {
    return link_ ? link_->MappedCount() : 0;
}

TField* TkxCustomDBGrid::MappedField(int dataCol) const {
    return link_ ? link_->MappedField(dataCol) : nullptr;
}

AnsiString TkxCustomDBGrid::GridColumnFieldName(int gridCol) const {
    const int i = gridCol - IndicatorOffset();
    if (link_->Active()) {
        TField* f = MappedField(i);
        return f ? f->FieldName() : AnsiString();
    }
    return i >= 0 && i < selected_.Count() ? ListLineField(selected_[i], 0) : AnsiString();
}

AnsiString TkxCustomDBGrid::TitleText(int dataCol) const {
    if (useTFields_) {
        TField* f = MappedField(dataCol);
        return f ? f->DisplayName() : AnsiString();
    }
    return dataCol >= 0 && dataCol < selected_.Count() ? ListLineField(selected_[dataCol], 2) : AnsiString();
}

// ---- building the columns ----

void TkxCustomDBGrid::BuildColumns() {
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (useTFields_) {
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible()) link_->AddMapping(i);
    } else {
        // Lines naming fields the open dataset lacks leave the list. The fields' indexes by name, the
        // first of a name as FindField finds it.
        std::unordered_map<AnsiString, int> indexes;
        indexes.reserve(size_t(ds->FieldCount()));
        for (int f = 0; f < ds->FieldCount(); ++f)
            indexes.try_emplace(UpperCase(ds->Fields(f)->FieldName()), f);
        int i = 0;
        while (i < selected_.Count()) {
            const auto found = indexes.find(UpperCase(ListLineField(selected_[i], 0)));
            if (found == indexes.end() && link_->Active()) {
                selected_.Delete(i);
                continue;
            }
            if (found != indexes.end()) link_->AddMapping(found->second);
            ++i;
        }
    }
    // A column's footer text outlives the rebuild; the old records by name, the first of a name as
    // FindColumn finds it.
    std::unordered_map<AnsiString, const TkxColumn*> old;
    old.reserve(columns_.size());
    for (const auto& c : columns_)
        old.try_emplace(UpperCase(c->FieldName()), c.get());
    std::vector<std::unique_ptr<TkxColumn>> records;
    records.reserve(size_t(link_->MappedCount()));
    for (int i = 0; i < link_->MappedCount(); ++i) {
        TField* f = link_->MappedField(i);
        if (!f) continue;
        auto c = std::make_unique<TkxColumn>(this, f->FieldName());
        const auto kept = old.find(UpperCase(f->FieldName()));
        c->footerText_ = (kept == old.end() ? *nullColumn_ : *kept->second).FooterText();
        records.push_back(std::move(c));
    }
    columns_ = std::move(records);
}

namespace {
// A width in characters as pixels, in 64 bits and kept to the grid's range: a stored width may be
// absurd (268,435,455 characters would be 2^31 pixels).
int columnPixels(int chars, int w0) {
    return int(std::clamp<int64_t>(int64_t(chars) * w0 + kCellMargin, 0, TCustomGrid::kMostCellExtent));
}
} // namespace

int TkxCustomDBGrid::TitleWidth(const AnsiString& title) const {
    int widest = 0;
    size_t from = 0;
    for (;;) {
        size_t at = AnsiFind(title, "~", from);
        std::string_view piece =
            std::string_view(title).substr(from, at == std::string_view::npos ? at : at - from);
        if (piece.empty()) break;
        widest = std::max(widest, TextWidthIn(titleFont_, AnsiString(piece)));
        if (at == std::string_view::npos) break;
        from = at + 1;
    }
    return widest + kCellMargin;
}

AnsiString TkxCustomDBGrid::columnListTitle(int line, TField* field) const {
    std::vector<AnsiString> parts = SplitListLine(selected_[line], '\t');
    if (parts.size() >= 3) return parts[2];
    return field ? field->DisplayName() : AnsiString();
}

void TkxCustomDBGrid::applyFixedColumns() {
    TDataSet* ds = DataSet();
    const int v = fixedCols_, ind = IndicatorOffset();
    // A value out of range stays stored and waits for columns enough.
    if (!ds || !ds->Active() || ind + v == TCustomGrid::FixedCols() || v < 0 || ind + v >= ColCount()) return;
    TCustomGrid::SetFixedCols(ind + v);
    if (options_.Contains(dgFixedEditable) && LeftCol() == ind + v) SelectColumn(0);
}

void TkxCustomDBGrid::ApplyColumnWidths() {
    TDataSet* ds = DataSet();
    if (!DataSource() || !ds) return;
    const int ind = IndicatorOffset();
    const int n = useTFields_ ? MappedFieldCount() : selected_.Count();
    applyFixedColumns();
    const int w0 = TextWidthIn(*Font(), "0");
    const bool proportional = ProportionalSizing();
    const bool measureTitles =
        !proportional && options_.Contains(dgTitles) && !options_.Contains(dgNoLimitColSize);
    if (proportional) referenceWidths_.assign(size_t(ColCount()), 0);
    // The fields, the columns and the lines' read-only flags by name, gathered once: a lookup per
    // column would search them all for each.
    const std::unordered_map<AnsiString, TField*> fields = ds->FieldsByName();
    std::unordered_set<AnsiString> columnNames;
    for (const auto& c : columns_)
        columnNames.insert(UpperCase(c->FieldName()));
    std::unordered_map<AnsiString, bool> listedReadOnly; // the first line of a name, as a column finds it
    for (const AnsiString& line : selected_.Lines())
        listedReadOnly.try_emplace(UpperCase(line.substr(0, AnsiFind(line, "\t"))),
                                   ListLineField(line, kReadOnlyField) == "T");
    // ColumnAt(dataCol).ReadOnly().
    auto columnReadOnly = [&](int dataCol) {
        AnsiString name;
        if (link_->MappedCount() > 0) {
            TField* m = dataCol < link_->MappedCount() ? MappedField(dataCol) : nullptr;
            if (!m) return false;
            name = UpperCase(m->FieldName());
        } else {
            if (dataCol >= selected_.Count()) return false;
            name = UpperCase(ListLineField(selected_[dataCol], 0));
        }
        const auto listed = listedReadOnly.find(name);
        return columnNames.contains(name) && listed != listedReadOnly.end() && listed->second;
    };
    for (int i = 0; i < n && ind + i < ColCount(); ++i) {
        TField* f = nullptr;
        int width;
        AnsiString title;
        if (useTFields_) {
            f = MappedField(i);
            width = f ? columnPixels(f->DisplayWidth(), w0) : kNoFieldWidth;
            if (measureTitles && f) title = f->DisplayName();
        } else {
            std::vector<AnsiString> parts = SplitListLine(selected_[i], '\t');
            const auto found = fields.find(UpperCase(parts[0]));
            f = found == fields.end() ? nullptr : found->second;
            width = columnPixels(StrToInt(ListLinePart(parts, 1)), w0);
            if (measureTitles) title = columnListTitle(i, f);
        }
        if (measureTitles) width = std::max(width, TitleWidth(title));
        if (proportional)
            referenceWidths_[size_t(ind + i)] = int16_t(std::clamp(width, 0, 32767));
        else
            SetColWidths(ind + i, width);
        if (f) {
            bool tabStop = !f->ReadOnly();
            if (columnReadOnly(i)) tabStop = false;
            if (tabStop && !editCalculated_) tabStop = f->FieldKind() != fkCalculated;
            SetTabStops(ind + i, tabStop);
        }
    }
    if (proportional && n > 0) ProportionalResize();
    RebuildControlTypeCache();
    clientWidthAtWidths_ = ClientWidth();
}

void TkxCustomDBGrid::ApplyColumnList() {
    DiscardProportionalWidths();
    if (useTFields_) {
        TDataSet* ds = DataSet();
        if (!DataSource() || !ds) return;
        // The fields follow the list: the ones it names become visible in its order, the rest hide.
        // The dataset's controls wait for the whole change, also when a line fails.
        // Each named field goes to its line's index; the moves are made together at the end (also
        // those before a failing line), which costs O(fields + lines) where one at a time costs
        // O(fields) each.
        ds->DisableControls();
        std::vector<std::pair<TField*, int>> moves;
        try {
            for (TField* f : std::vector<TField*>(ds->FieldList()))
                f->SetVisible(false);
            const std::unordered_map<AnsiString, TField*> fields = ds->FieldsByName();
            for (int i = 0; i < selected_.Count(); ++i) {
                std::vector<AnsiString> parts = SplitListLine(selected_[i], '\t');
                const auto found = fields.find(UpperCase(parts[0]));
                if (found == fields.end()) continue;
                TField* f = found->second;
                f->SetDisplayWidth(StrToInt(ListLinePart(parts, 1)));
                f->SetDisplayLabel(ListLinePart(parts, 2));
                moves.emplace_back(f, i);
                f->SetVisible(true);
            }
            ds->MoveFields(moves);
        } catch (...) {
            ds->MoveFields(moves);
            ds->EnableControls();
            throw;
        }
        ds->EnableControls();
        if (selected_.Count() > 0) RebuildLayout();
    } else {
        SetUpEmbeddedControls();
        RebuildLayout();
        UpdateCurrentEmbeddedControl();
    }
    PlaceEmbeddedControl();
}

void TkxCustomDBGrid::ApplyRowHeights() {
    const int h = TextHeightIn(*Font(), "W");
    const int rl = options_.Contains(dgRowLines) || !options_.Contains(dgRowLinesDisableFixed) ? 1 : 0;
    const int rowHeight = (h + 2 + rl) * rowHeightPercent_ / 100;
    if (rowHeight != DefaultRowHeight()) SetDefaultRowHeight(rowHeight);
    if (!options_.Contains(dgTitles) || RowCount() < 1) return;
    int title;
    if (dynamic_cast<TCustomGrid*>(Parent()))
        title = titleLines_ * (h + 3 + rl) - 1;
    else
        title = TextHeightIn(titleFont_, "W") * titleLines_ + 4;
    if (rl == 0) ++title;
    indicatorButtonTop_ = 2;
    if (options_.Contains(dgIndicator) && indicatorButton_) {
        const int t = std::max(title, indicatorButton_->Height());
        indicatorButtonTop_ = (t - title) / 2 + 2;
        title = rl == 1 ? t - 1 : t + 1;
        // A corner button on the grid stays in the corner: never right of or below it.
        TControl* b = indicatorButton_;
        if (b->Parent() == this && (b->Left() > 0 || b->Top() > 0))
            b->SetBounds(std::min(b->Left(), 0), std::min(b->Top(), 0), b->Width(), b->Height());
    }
    SetRowHeights(0, title);
}

// ---- options and setters ----

void TkxCustomDBGrid::applyBaseOptions() {
    TGridOptions o;
    if (options_.Contains(dgColLines)) o = o + TGridOptions{goFixedVertLine, goVertLine};
    if (options_.Contains(dgRowLines)) o.Include(goHorzLine);
    if (!options_.Contains(dgRowLinesDisableFixed)) o.Include(goFixedHorzLine);
    if (options_.Contains(dgColumnResize)) o = o + TGridOptions{goColSizing, goColMoving};
    if (options_.Contains(dgRowResize)) o.Include(goRowSizing);
    if (options_.Contains(dgTabs)) o.Include(goTabs);
    if (options_.Contains(dgRowSelect)) o.Include(goRowSelect);
    if (options_.Contains(dgEditing) && !options_.Contains(dgRowSelect)) o.Include(goEditing);
    if (options_.Contains(dgAlwaysShowEditor)) o.Include(goAlwaysShowEditor);
    TCustomGrid::SetOptions(o);
}

void TkxCustomDBGrid::SetOptions(TkxDBGridOptions v) {
    if (v == options_) return;
    const TkxDBGridOptions old = options_;
    options_ = v;
    applyBaseOptions();
    const TkxDBGridOptions diff = (old - v) + (v - old);
    auto changed = [&](TkxDBGridOption o) { return diff.Contains(o); };
    // The in-place editor takes its word wrapping from the options whenever it is filled.
    if (changed(dgWordWrap)) Invalidate();
    if (changed(dgIndicator)) DiscardProportionalWidths();
    if (changed(dgProportionalColResize)) applyScrollBars();
    if (!(diff * kLayoutOptions).Empty()) RebuildLayout();
}

void TkxCustomDBGrid::SetUseTFields(bool v) {
    if (v == useTFields_) return;
    useTFields_ = v;
    DiscardProportionalWidths();
    applyScrollBars();
    RebuildLayout();
}

void TkxCustomDBGrid::SetPadColumnStyle(TkxPadColumnStyle v) {
    if (v == padColumnStyle_) return;
    padColumnStyle_ = v;
    Invalidate();
}

void TkxCustomDBGrid::SetFixedCols(int v) {
    // At run time every value is stored; one out of range is applied once it fits.
    fixedCols_ = v;
    RebuildLayout();
}

void TkxCustomDBGrid::SetTitleLines(int v) {
    if (v < 1 || v == titleLines_) return;
    titleLines_ = v;
    RebuildLayout();
}

void TkxCustomDBGrid::SetTitleAlignment(TAlignment v) {
    titleAlignment_ = v;
    RebuildLayout();
}

void TkxCustomDBGrid::SetTitleColor(TColor v) {
    titleColor_ = v;
    RebuildLayout();
}

void TkxCustomDBGrid::SetRowHeightPercent(int v) {
    if (v <= 0) {
        rowHeightPercent_ = rowHeightFloor_ = 100;
        return;
    }
    rowHeightFloor_ = v;
    if (v == rowHeightPercent_) return;
    rowHeightPercent_ = v;
    RebuildLayout();
}

void TkxCustomDBGrid::applyScrollBars() {
    const bool horz = showHorzScrollBar_ && !ProportionalSizing();
    TScrollStyle s =
        horz ? (showVertScrollBar_ ? ssBoth : ssHorizontal) : (showVertScrollBar_ ? ssVertical : ssNone);
    SetScrollBars(s);
}

void TkxCustomDBGrid::SetShowHorzScrollBar(bool v) {
    showHorzScrollBar_ = v;
    applyScrollBars();
}

void TkxCustomDBGrid::SetIndicatorButton(TControl* button) {
    if (button == indicatorButton_) return;
    if (indicatorButton_) RemoveFreeNotification(indicatorButton_);
    indicatorButton_ = button;
    if (button) FreeNotification(button);
    RebuildLayout();
}

// ---- group headers ----

bool TkxCustomDBGrid::GroupHeaderRun(int dataCol, bool visibleOnly, int& first, int& last) const {
    const AnsiString name = ColumnAt(dataCol).GroupHeaderName();
    if (name.empty()) return false;
    const int ind = IndicatorOffset();
    int lo = 0, hi = DataColumnCount() - 1;
    if (visibleOnly) {
        lo = std::max(lo, LeftCol() - ind);
        hi = std::min(hi, LeftCol() - ind + VisibleColCount());
    }
    first = last = dataCol;
    while (first - 1 >= lo && ColumnAt(first - 1).GroupHeaderName() == name)
        --first;
    while (last + 1 <= hi && ColumnAt(last + 1).GroupHeaderName() == name)
        ++last;
    return true;
}

TRect TkxCustomDBGrid::GroupBandRect(int dataCol, bool visibleOnly) const {
    int first = 0, last = 0;
    if (TitleRowCount() == 0 || !GroupHeaderRun(dataCol, visibleOnly, first, last)) return {};
    const int ind = IndicatorOffset();
    TRect band = BoxRect(first + ind, 0, last + ind, 0);
    if (band.IsEmpty()) return {};
    // A run that begins left of the shown columns keeps its full width, reaching off the left.
    TGridDrawInfo di;
    CalcDrawInfo(di);
    for (int c = first + ind; c < LeftCol() && c < ColCount(); ++c)
        if (c >= TCustomGrid::FixedCols()) band.Left -= ColWidths(c) + di.Horz.EffectiveLineWidth;
    band.Bottom = band.Top + band.Height() / 2;
    return band;
}

TRect TkxCustomDBGrid::TitleCellRect(int gridCol) const {
    TRect r = CellRect(gridCol, 0);
    if (r.IsEmpty() || TitleRowCount() == 0 ||
        ColumnAt(gridCol - IndicatorOffset()).GroupHeaderName().empty())
        return r;
    r.Top += r.Height() / 2;
    return r;
}

// ---- the current column ----

bool TkxCustomDBGrid::EditorBarredFromColumn(int dataCol) const {
    return editControlOptions_.Contains(ecoDisableEditorIfReadOnly) && ColumnAt(dataCol).ReadOnly();
}

void TkxCustomDBGrid::SelectColumn(int dataCol) {
    // Pending editor text belongs to the column being left.
    if (link_->Active()) link_->UpdateRecord();
    const int ind = IndicatorOffset();
    int c = std::clamp(dataCol + ind, ind, std::max(ind, ColCount() - 1));
    if (!options_.Contains(dgFixedEditable)) c = std::max(c, TCustomGrid::FixedCols());
    c = std::min(c, ColCount() - 1);
    if (c == Col()) return;
    Fire(OnColExit);
    HideEditor();
    MoveColRow(c, Row(), true, true);
    if (options_.Contains(dgAlwaysShowEditor)) {
        TField* f = MappedField(c - ind);
        if (!IsControlCell(c, Row()) && !IsMemoField(f) && !EditorBarredFromColumn(c - ind)) ShowEditor();
    }
    UpdateCurrentEmbeddedControl();
    Fire(OnColEnter);
    Fire(OnCellChanged);
}
