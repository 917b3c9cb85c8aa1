#include "ui/DBGrid.h"

#include "core/Guard.h"
#include "data/DataLink.h"
#include "data/DataSource.h"
#include "data/Field.h"
#include "ui/DBGridAccessible.h"
#include "ui/Dialogs.h"
#include "ui/InplaceEdit.h"

#include <algorithm>

using enum TDBGridOption;

class DBGridLink : public TDataLink {
public:
    explicit DBGridLink(TDBGrid* grid) : grid_(grid) { SetVisualControl(true); }

protected:
    void ActiveChanged() override { grid_->linkActive(); }
    void DataSetChanged() override { grid_->dataChanged(); }
    void DataSetScrolled(int distance) override { grid_->scrolled(distance); }
    void LayoutChanged() override { grid_->layoutChanged(); }
    void RecordChanged(TField* field) override { grid_->recordChanged(field); }
    void EditingChanged() override { grid_->editingChanged(); }
    void UpdateData() override { grid_->updateData(); }
    void FocusControl(TField** field) override {
        if (!*field)
            return;
        for (int i = 0; i < grid_->Columns().Count(); ++i)
            if (grid_->Columns()[i]->Field() == *field && grid_->CanFocus()) {
                grid_->MoveColRow(i + grid_->indicatorOffset(), grid_->Row(), true, true);
                grid_->SetFocus();
                *field = nullptr;
                return;
            }
    }

private:
    TDBGrid* grid_;
};


// ---- columns ----

void TColumn::DefineProperties(ClassInfo& info) {
    info.Add("FieldName", &TColumn::FieldName, &TColumn::SetFieldName);
    info.Add("Width", &TColumn::Width, &TColumn::SetWidth);
    info.Add("Title", &TColumn::Title, &TColumn::SetTitle);
}

void TColumn::SetFieldName(const AnsiString& v) {
    fieldName_ = v;
    collection_->changed();
}

int TColumn::Width() const {
    if (width_ >= 0)
        return width_;
    TField* f = Field();
    if (!f)
        return 64;
    TCanvas* c = collection_->grid_->Canvas();
    return f->DisplayWidth() * c->TextWidth("0") + 4;
}

void TColumn::SetWidth(int v) {
    width_ = std::max(v, 0);
    collection_->changed();
}

void TColumn::SetTitle(const AnsiString& v) {
    title_ = v;
    collection_->changed();
}

AnsiString TColumn::TitleCaption() const {
    if (!title_.empty())
        return title_;
    if (TField* f = Field())
        return f->DisplayName();
    return fieldName_;
}

TField* TColumn::Field() const {
    TDataSet* ds = collection_->grid_->DataSet();
    return ds && ds->Active() && !fieldName_.empty() ? ds->FindField(fieldName_) : nullptr;
}

int TColumn::Index() const {
    const auto& items = collection_->items_;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this)
            return int(i);
    return -1;
}

void TColumn::SetIndex(int v) { collection_->Move(Index(), v); }

TColumn* TDBGridColumns::Add() {
    if (!stored_)
        items_.clear();
    stored_ = true;
    items_.push_back(std::make_unique<TColumn>(this));
    changed();
    return items_.back().get();
}

void TDBGridColumns::Clear() {
    items_.clear();
    stored_ = false;
    changed();
}

void TDBGridColumns::Move(int fromIndex, int toIndex) {
    if (fromIndex < 0 || fromIndex >= Count() || toIndex < 0 || toIndex >= Count() || fromIndex == toIndex)
        return;
    auto item = std::move(items_[size_t(fromIndex)]);
    items_.erase(items_.begin() + fromIndex);
    items_.insert(items_.begin() + toIndex, std::move(item));
    changed();
}

void TDBGridColumns::changed() { grid_->layoutChanged(); }

// ---- the grid ----

void TDBGrid::DefineProperties(ClassInfo& info) {
    info.Add("DataSource", &TDBGrid::DataSource, &TDBGrid::SetDataSource);
    info.Add("ReadOnly", &TDBGrid::ReadOnly, &TDBGrid::SetReadOnly);
    info.Add("TitleFont", &TDBGrid::GetTitleFont, &TDBGrid::SetTitleFont);
    info.AddSet("Options", &TDBGrid::Options, &TDBGrid::SetOptions);
}

TDBGrid::TDBGrid(TComponent* owner) : TCustomGrid(owner), link_(std::make_unique<DBGridLink>(this)) {
    dbOptions_ = {dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgConfirmDelete,
                  dgCancelOnExit};
    titleFont_.Assign(*Font());
    titleFont_.OnChange = [this](TGraphicsObject*) {
        titleFontStored_ = true;
        layoutChanged();
    };
    SetBounds(0, 0, 320, 120);
    layoutChanged();
}

TDBGrid::~TDBGrid() {
    // No notification may reach a grid that is going.
    link_.reset();
}

TDataSource* TDBGrid::DataSource() const { return link_->DataSource(); }
TDataSet* TDBGrid::DataSet() const { return link_ ? link_->DataSet() : nullptr; }

void TDBGrid::SetDataSource(TDataSource* source) {
    if (source == link_->DataSource())
        return;
    if (TDataSource* old = link_->DataSource())
        RemoveFreeNotification(old);
    link_->SetDataSource(source);
    if (source)
        FreeNotification(source);
    linkActive();
}

void TDBGrid::Notification(TComponent* component, Operation operation) {
    TCustomGrid::Notification(component, operation);
    if (operation == Operation::Remove && link_ && component == link_->DataSource())
        SetDataSource(nullptr);
}

void TDBGrid::SetOptions(TDBGridOptions v) {
    if (v == dbOptions_)
        return;
    dbOptions_ = v;
    layoutChanged();
}

void TDBGrid::Loaded() {
    TCustomGrid::Loaded();
    layoutChanged();
}

TColumn* TDBGrid::ColumnAt(int gridCol) const {
    int i = gridCol - indicatorOffset();
    return i >= 0 && i < columns_.Count() ? columns_[i] : nullptr;
}

TField* TDBGrid::SelectedField() const {
    TColumn* c = ColumnAt(Col());
    return c ? c->Field() : nullptr;
}

int TDBGrid::ActiveRecord() const { return link_->ActiveRecord(); }

TDataLink& TDBGrid::dataLink() const { return *link_; }

int TDBGrid::dataRows() const {
    const int lw = DrawInfo().Vert.EffectiveLineWidth;
    int avail = ClientHeight() - (titleOffset() ? RowHeights(0) + lw : 0);
    return std::max(1, (avail + lw) / std::max(1, DefaultRowHeight() + lw));
}

void TDBGrid::layoutChanged() {
    if (!link_ || layoutBusy_ || Loading())
        return;
    TCountGuard busy(layoutBusy_);
    TGridOptions o;
    if (dbOptions_.Contains(dgColLines))
        o = o + TGridOptions{goFixedVertLine, goVertLine};
    if (dbOptions_.Contains(dgRowLines))
        o = o + TGridOptions{goFixedHorzLine, goHorzLine};
    if (dbOptions_.Contains(dgColumnResize))
        o = o + TGridOptions{goColSizing, goColMoving};
    if (dbOptions_.Contains(dgTabs))
        o.Include(goTabs);
    if (dbOptions_.Contains(dgRowSelect))
        o.Include(goRowSelect);
    else if (dbOptions_.Contains(dgEditing))
        o.Include(goEditing);
    if (dbOptions_.Contains(dgAlwaysShowEditor))
        o.Include(goAlwaysShowEditor);
    TCustomGrid::SetOptions(o);

    // Without stored columns every visible field is a column, in field order.
    TDataSet* ds = link_->Active() ? DataSet() : nullptr;
    if (!columns_.stored_) {
        columns_.items_.clear();
        if (ds)
            for (TField* f : ds->FieldList())
                if (f->Visible()) {
                    columns_.items_.push_back(std::make_unique<TColumn>(&columns_));
                    columns_.items_.back()->fieldName_ = f->FieldName();
                }
    }
    const int ind = indicatorOffset(), t = titleOffset();
    SetColCount(ind + std::max(1, columns_.Count()));
    SetFixedCols(ind);
    if (ind)
        SetColWidths(0, IndicatorWidth());
    for (int i = 0; i < std::max(1, columns_.Count()); ++i) {
        TColumn* c = i < columns_.Count() ? columns_[i] : nullptr;
        SetColWidths(ind + i, c ? c->Width() : 64);
        TField* f = c ? c->Field() : nullptr;
        SetTabStops(ind + i, f && f->CanModify() && !f->Calculated());
    }
    if (ind)
        SetTabStops(0, false);

    TCanvas* canvas = Canvas();
    canvas->SetFont(*Font());
    const int rowHeight = canvas->TextHeight("Wg") + 3;
    canvas->SetFont(titleFont_);
    const int titleHeight = canvas->TextHeight("Wg") + 4;
    SetDefaultRowHeight(rowHeight);
    updateRowCount();
    if (t)
        SetRowHeights(0, titleHeight);
    updateRowCount();
    updateActive();
    UpdateScrollRange();
    Invalidate();
}

void TDBGrid::updateRowCount() {
    const int t = titleOffset();
    TDataSet* ds = DataSet();
    if (link_->Active() && ds && ds->Active()) {
        link_->SetBufferCount(dataRows());
        SetRowCount(t + std::max(1, link_->RecordCount()));
    } else {
        SetRowCount(t + 1);
    }
    SetFixedRows(t);
}

void TDBGrid::updateActive() {
    if (!link_->Active())
        return;
    int r = std::min(titleOffset() + link_->ActiveRecord(), RowCount() - 1);
    if (r != Row())
        MoveColRow(Col(), r, false, false);
}

void TDBGrid::linkActive() {
    if (!link_->Active())
        HideEditor();
    modified_ = false;
    layoutChanged();
}

void TDBGrid::refreshEditor() {
    // The field changed under the editor (not by typing into it): show the field's text again.
    if (!EditorShowing() || modified_)
        return;
    if (InplaceEditor()->Text() != GetEditText(Col(), Row()))
        InplaceEditor()->UpdateContents();
}

void TDBGrid::dataChanged() {
    if (layoutBusy_)
        return;
    modified_ = false;
    updateRowCount();
    updateActive();
    UpdateScrollRange();
    refreshEditor();
    Invalidate();
    accessibility::TableChanged(this);
}

void TDBGrid::scrolled(int distance) {
    // Row r now shows the record row r + distance showed: the picture of the rows that stay moves
    // with them, and only the rows that came in, the row that was current and the current row are
    // painted again.
    const int oldRow = Row();
    const bool moved = distance == 0 || ScrollRowImages(distance);
    if (distance != 0) {
        // Another record is under the current cell: the editor shows it anew.
        if (dbOptions_.Contains(dgAlwaysShowEditor)) {
            HideEdit();
            UpdateEdit();
        } else {
            HideEditor();
        }
    }
    updateActive();
    UpdateScrollRange();
    accessibility::TableChanged(this);
    if (!moved) {
        Invalidate();
        return;
    }
    if (oldRow - distance >= FixedRows())
        InvalidateRow(oldRow - distance);
    InvalidateRow(Row());
}

void TDBGrid::recordChanged(TField* field) {
    InvalidateRow(Row());
    if (!field || field == SelectedField())
        refreshEditor();
    accessibility::TableChanged(this);
}

void TDBGrid::editingChanged() {
    if (indicatorOffset())
        InvalidateCell(0, Row());
}

void TDBGrid::updateData() {
    if (!modified_)
        return;
    if (TField* f = SelectedField())
        f->SetText(pendingText_);
    modified_ = false;
}

// ---- editing ----

bool TDBGrid::CanEditAcceptKey(char key) {
    TField* f = SelectedField();
    return f && f->IsValidChar(key);
}

bool TDBGrid::canModifyData() const {
    TDataSet* ds = DataSet();
    return link_->Active() && !readOnly_ && !link_->ReadOnly() && ds && ds->CanModify();
}

bool TDBGrid::CanEditModify() {
    if (!canModifyData() || !dbOptions_.Contains(dgEditing))
        return false;
    TField* f = SelectedField();
    if (!f || !f->CanModify())
        return false;
    link_->Edit();
    if (!link_->Editing())
        return false;
    modified_ = true;
    return true;
}

bool TDBGrid::CanEditShow() {
    TField* f = SelectedField();
    return TCustomGrid::CanEditShow() && link_->Active() && f && !f->IsBlob();
}

AnsiString TDBGrid::GetEditText(int col, int) {
    TColumn* c = ColumnAt(col);
    TField* f = c ? c->Field() : nullptr;
    pendingText_ = f ? f->Text() : AnsiString();
    return pendingText_;
}

void TDBGrid::SetEditText(int, int, const AnsiString& value) { pendingText_ = value; }

AnsiString TDBGrid::GetEditMask(int col, int) {
    TColumn* c = ColumnAt(col);
    TField* f = c ? c->Field() : nullptr;
    return f ? f->EditMask() : AnsiString();
}

int TDBGrid::GetEditLimit() {
    TField* f = SelectedField();
    return f && (f->DataType() == ftString || f->DataType() == ftFixedChar) ? f->Size() : 0;
}

bool TDBGrid::SelectCell(int col, int row) {
    // Leaving a column writes what was typed into its field first.
    if (col != Col() && link_ && link_->Active() && !layoutBusy_)
        link_->UpdateRecord();
    return TCustomGrid::SelectCell(col, row);
}

// ---- records ----

bool TDBGrid::insertingUnchanged() const {
    TDataSet* ds = DataSet();
    return ds && ds->State() == dsInsert && !ds->Modified() && !modified_;
}

void TDBGrid::nextRecord() {
    TDataSet* ds = DataSet();
    if (insertingUnchanged()) {
        if (!ds->Eof())
            ds->Cancel();
        return;
    }
    ds->Next();
    if (ds->Eof() && canModifyData() && dbOptions_.Contains(dgEditing))
        ds->Append();
}

void TDBGrid::priorRecord() {
    TDataSet* ds = DataSet();
    if (insertingUnchanged() && ds->Eof())
        ds->Cancel();
    else
        ds->Prior();
}

void TDBGrid::tabTo(bool forward) {
    int next = NextTabStop(Col(), forward);
    if (next >= 0) {
        FocusCell(next, Row(), true);
        return;
    }
    // Past the last (first) tab stop: the next (prior) record, from its first (last) tab stop.
    TDataSet* ds = DataSet();
    TBookmark before = ds->GetBookmark();
    TDataSetState state = ds->State();
    forward ? nextRecord() : priorRecord();
    if (ds->State() == state && ds->GetBookmark() == before)
        return;
    next = NextTabStop(forward ? FixedCols() - 1 : ColCount(), forward);
    if (next >= 0)
        FocusCell(next, Row(), true);
}

void TDBGrid::deleteRecord() {
    TDataSet* ds = DataSet();
    if (!canModifyData() || !dbOptions_.Contains(dgEditing) || (ds->IsEmpty() && ds->State() != dsInsert))
        return;
    if (dbOptions_.Contains(dgConfirmDelete) &&
        MessageBox("Delete record?", "Confirm", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    ds->Delete();
}

// ---- keyboard and mouse ----

void TDBGrid::GridKeyDown(Word& key, TShiftState shift) {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds) {
        TCustomGrid::GridKeyDown(key, shift);
        return;
    }
    const bool ctrl = shift.Contains(ssCtrl);
    switch (key) {
    case VK_UP:
        priorRecord();
        break;
    case VK_DOWN:
        nextRecord();
        break;
    case VK_PRIOR:
        ds->MoveBy(-dataRows());
        break;
    case VK_NEXT:
        ds->MoveBy(dataRows());
        break;
    case VK_HOME:
    case VK_END:
        if (!ctrl) {
            TCustomGrid::GridKeyDown(key, shift);
            return;
        }
        key == VK_HOME ? ds->First() : ds->Last();
        break;
    case VK_TAB:
        if (!dbOptions_.Contains(dgTabs) || shift.Contains(ssAlt))
            return;
        tabTo(!shift.Contains(ssShift));
        break;
    case VK_ESCAPE:
        if (modified_) {
            // The first Escape takes back what was typed; the next one the record's changes.
            modified_ = false;
            if (EditorShowing())
                InplaceEditor()->UpdateContents();
        } else if (IsEditState(ds->State())) {
            ds->Cancel();
        }
        if (!dbOptions_.Contains(dgAlwaysShowEditor))
            HideEditor();
        break;
    case VK_INSERT:
        if (shift.Empty() && canModifyData() && dbOptions_.Contains(dgEditing))
            ds->Insert();
        break;
    case VK_DELETE:
        if (ctrl)
            deleteRecord();
        break;
    default:
        TCustomGrid::GridKeyDown(key, shift);
        return;
    }
    key = 0;
}

void TDBGrid::KeyPress(char& key) {
    if (key == '\r' && !dbOptions_.Contains(dgAlwaysShowEditor) && link_->Active())
        link_->UpdateRecord();
    TCustomGrid::KeyPress(key);
}

void TDBGrid::WMVScroll(int code, int pos) {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds)
        return;
    if (CanFocus() && !FocusedWithin())
        SetFocus();
    switch (code) {
    case SB_LINEUP:
        priorRecord();
        break;
    case SB_LINEDOWN:
        if (insertingUnchanged())
            nextRecord();
        else
            ds->Next();
        break;
    case SB_PAGEUP:
        ds->MoveBy(-dataRows());
        break;
    case SB_PAGEDOWN:
        ds->MoveBy(dataRows());
        break;
    case SB_THUMBPOSITION:
        if (!ds->IsSequenced())
            break;
        ds->CheckBrowseMode();
        if (pos <= 1)
            ds->First();
        else if (pos >= ds->RecordCount())
            ds->Last();
        else
            ds->SetRecNo(pos);
        break;
    case SB_TOP:
        ds->First();
        break;
    case SB_BOTTOM:
        ds->Last();
        break;
    default:
        break;
    }
}

void TDBGrid::UpdateScrollRange() {
    TCustomGrid::UpdateScrollRange();
    if (!link_ || (ScrollBars() != ssVertical && ScrollBars() != ssBoth))
        return;
    // Until the grid has its window nothing shows the bar, and counting the records may read every row
    // of a dataset that fetches its rows as they are needed: the window's creation sets the range.
    if (!HandleAllocated())
        return;
    TDataSet* ds = DataSet();
    TScrollInfo s;
    // The bar stands for the records: its position is the current record's number.
    if (link_->Active() && ds && ds->IsSequenced()) {
        const int page = dataRows();
        s.Min = 1;
        s.Page = page;
        s.Max = std::max(1, ds->RecordCount()) + page - 1;
        const int recNo = ds->State() == dsInsert ? -1 : ds->RecNo();
        s.Pos = recNo > 0 ? recNo : GetScrollPos(sbVertical);
    }
    SetScrollInfo(sbVertical, s);
}

void TDBGrid::ClickCell(TGridCoord cell, TShiftState shift) {
    if (!link_->Active() || cell.Y - titleOffset() >= std::max(1, link_->RecordCount())) {
        TCustomGrid::ClickCell(cell, shift);
        return;
    }
    const bool onCurrent = cell == TGridCoord{Col(), Row()};
    if (cell.Y != Row())
        link_->MoveBy(cell.Y - Row());
    if (cell.X != Col())
        MoveColRow(cell.X, Row(), true, true);
    else if (onCurrent && dbOptions_.Contains(dgEditing))
        ShowEditor();
}

bool TDBGrid::DoMouseWheelDown(TShiftState, TPoint) {
    if (link_->Active() && DataSet())
        DataSet()->Next();
    return true;
}

bool TDBGrid::DoMouseWheelUp(TShiftState, TPoint) {
    if (link_->Active() && DataSet())
        DataSet()->Prior();
    return true;
}

void TDBGrid::Resize() {
    TCustomGrid::Resize();
    if (!link_ || layoutBusy_)
        return;
    updateRowCount();
    updateActive();
    UpdateScrollRange();
}

void TDBGrid::FontChanged() {
    TCustomGrid::FontChanged();
    if (!link_)
        return;
    if (!titleFontStored_) {
        // The title font follows the grid's until it is given values of its own.
        auto handler = std::move(titleFont_.OnChange);
        titleFont_.Assign(*Font());
        titleFont_.OnChange = std::move(handler);
    }
    layoutChanged();
}

void TDBGrid::ChangeScale(int m, int d) {
    for (int i = 0; i < columns_.Count(); ++i)
        if (columns_[i]->width_ >= 0)
            columns_[i]->width_ = MulDiv(columns_[i]->width_, m, d);
    TCustomGrid::ChangeScale(m, d);
    layoutChanged();
}

void TDBGrid::ColWidthsChanged() {
    if (!layoutBusy_) {
        const int ind = indicatorOffset();
        for (int i = 0; i < columns_.Count() && ind + i < ColCount(); ++i)
            columns_[i]->width_ = ColWidths(ind + i);
    }
    TCustomGrid::ColWidthsChanged();
}

void TDBGrid::ColumnMoved(int fromIndex, int toIndex) {
    const int ind = indicatorOffset();
    const int from = fromIndex - ind, to = toIndex - ind;
    if (from >= 0 && to >= 0 && from < columns_.Count() && to < columns_.Count()) {
        if (columns_.stored_) {
            TCountGuard busy(layoutBusy_);
            columns_.Move(from, to);
        } else {
            // Columns made from the fields follow the fields' order.
            TField* moved = columns_[from]->Field();
            TField* target = columns_[to]->Field();
            if (moved && target)
                moved->SetIndex(target->Index());
        }
    }
    TCustomGrid::ColumnMoved(fromIndex, toIndex);
}

void TDBGrid::GridExit() {
    if (link_->Active()) {
        if (dbOptions_.Contains(dgCancelOnExit) && insertingUnchanged())
            DataSet()->Cancel();
        else
            link_->UpdateRecord();
    }
    if (!dbOptions_.Contains(dgAlwaysShowEditor))
        HideEditor();
    TCustomGrid::GridExit();
}

// ---- painting ----

void TDBGrid::writeText(TCanvas& canvas, const TRect& rect, const AnsiString& text, TAlignment alignment) {
    if (text.empty())
        return;
    TRect r = Rect(rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom);
    unsigned flags = DT_SINGLELINE | DT_NOPREFIX |
                     (alignment == taRightJustify ? DT_RIGHT : alignment == taCenter ? DT_CENTER : DT_LEFT);
    canvas.Brush()->SetStyle(bsClear);
    canvas.DrawText(text, r, flags);
    canvas.Brush()->SetStyle(bsSolid);
}

void TDBGrid::drawIndicator(TCanvas& canvas, const TRect& rect, int dataRow) {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds || dataRow != link_->ActiveRecord())
        return;
    canvas.Brush()->SetColor(clBlack);
    const int cx = (rect.Left + rect.Right) / 2, cy = (rect.Top + rect.Bottom) / 2;
    switch (ds->State()) {
    case dsEdit:  // an I-beam
        canvas.FillRect(Rect(cx - 1, cy - 5, cx + 1, cy + 6));
        canvas.FillRect(Rect(cx - 3, cy - 5, cx + 3, cy - 4));
        canvas.FillRect(Rect(cx - 3, cy + 5, cx + 3, cy + 6));
        break;
    case dsInsert:  // a star
        canvas.FillRect(Rect(cx - 3, cy, cx + 4, cy + 1));
        canvas.FillRect(Rect(cx, cy - 3, cx + 1, cy + 4));
        for (int d = -2; d <= 2; ++d) {
            canvas.FillRect(Rect(cx + d, cy + d, cx + d + 1, cy + d + 1));
            canvas.FillRect(Rect(cx + d, cy - d, cx + d + 1, cy - d + 1));
        }
        break;
    default:  // a triangle pointing right
        for (int i = 0; i < 5; ++i)
            canvas.FillRect(Rect(cx - 2 + i, cy - 4 + i, cx - 1 + i, cy + 5 - i));
        break;
    }
}

void TDBGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas& canvas = *Canvas();
    const int dataCol = col - indicatorOffset(), dataRow = row - titleOffset();
    if (dataRow < 0) {
        if (TColumn* c = ColumnAt(col)) {
            canvas.SetFont(titleFont_);
            writeText(canvas, rect, c->TitleCaption(), taLeftJustify);
        }
    } else if (dataCol < 0) {
        drawIndicator(canvas, rect, dataRow);
    } else if (link_->Active() && dataRow < link_->RecordCount()) {
        TColumn* c = ColumnAt(col);
        TField* f = c ? c->Field() : nullptr;
        const bool highlight = state.Contains(gdSelected) && !EditorShowing() &&
                               (FocusedWithin() || dbOptions_.Contains(dgAlwaysShowSelection));
        canvas.Brush()->SetColor(highlight ? clHighlight : Color());
        canvas.FillRect(rect);
        canvas.SetFont(*Font());
        if (highlight)
            canvas.Font()->SetColor(clHighlightText);
        if (f) {
            AnsiString text;
            {
                TActiveRecordScope scope(*link_, dataRow);
                text = f->DisplayText();
            }
            writeText(canvas, rect, text, f->Alignment());
        }
    }
    TCustomGrid::DrawCell(col, row, rect, state);
}
