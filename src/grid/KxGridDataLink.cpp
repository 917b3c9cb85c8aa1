// The data link and the record window: the link's notifications, the full layout rebuild with its
// guards, activation, the reactions to dataset changes and scrolls, the row-count, current-row and
// scroll-bar synchronisations, the vertical scroll messages, the row-change and footer checks,
// Escape on an edited record, and the window's own events.
//
// Record window contract. The grid shows the link's buffer, never records of its own: data row r
// (r >= t, the title row count) is buffer record r - t. While the link is active and the grid's
// window exists, after every notification the grid handles (layout rebuild, dataset changed,
// dataset scrolled, window resize):
//   RowCount() == max(link.RecordCount(), 1) + t   (one empty data row for an empty dataset)
//   link.BufferCount() == the data rows shown whole (counted on a full grid) >= link.RecordCount()
//   Row() == link.ActiveRecord() + t               (when the dataset has records)
// CheckRecordWindow asserts them in debug builds. Costs: a scroll by d records reads |d| records
// (at most one window) and repaints two rows or, past a window, the grid; a dataset change repaints
// the grid and reads nothing; a rebuild reads at most one window (when the buffer grows). None of it
// depends on the dataset's record count: the vertical bar spans the records the dataset holds, and a
// dataset still owed records has them read in idle time (ui/IdleReader.h), the bar growing with each
// packet until it settles on the count.
#include "grid/KxGridDataLink.h"
#include "core/Exception.h"
#include "core/Guard.h"
#include "data/DataSource.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/support/KxIntl.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/IdleReader.h"
#include "ui/InplaceEdit.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <exception>

namespace {
constexpr int kFirstMapCapacity = 8;
constexpr int kIndicatorWidth = 11;
constexpr int kFullGridRows = 1000;
constexpr int kOutOfSight = 10;

// The confirmation before a modified record's changes are discarded, as the settings object says it.
AnsiString discardChangesText() {
    return CreateProcessIntl()->UserMessages()->kxDBGridDiscardChanges();
}
} // namespace

// ---- the link ----

TkxGridDataLink::TkxGridDataLink(TkxCustomDBGrid* grid) : grid_(grid) {
    SetVisualControl(true);
}

void TkxGridDataLink::AddMapping(int fieldIndex) {
    const int count = MappedCount();
    if (count >= kMaxMappedFields)
        throw EInvalidGridOperation("Grid requested to display more than 256 columns");
    if (count == MapCapacity())
        fieldMap_.reserve(size_t(std::min(std::max(kFirstMapCapacity, 2 * count), kMaxMappedFields)));
    fieldMap_.push_back(fieldIndex);
}

int TkxGridDataLink::FieldIndex(int entry) const {
    return entry >= 0 && entry < MappedCount() ? fieldMap_[size_t(entry)] : -1;
}

TField* TkxGridDataLink::MappedField(int entry) const {
    TDataSet* ds = DataSet();
    const int index = FieldIndex(entry);
    if (!Active() || !ds || index < 0 || index >= ds->FieldCount()) return nullptr;
    return ds->Fields(index);
}

void TkxGridDataLink::ActiveChanged() {
    grid_->ActivationChanged(Active());
}

void TkxGridDataLink::DataSetChanged() {
    grid_->RecordsChanged();
    modified_ = false;
}

void TkxGridDataLink::DataSetScrolled(int distance) {
    grid_->RecordsScrolled(distance);
}

void TkxGridDataLink::EditingChanged() {
    if (grid_->Options().Contains(dgIndicator))
        grid_->InvalidateCell(0, grid_->indicatorRow_ >= 0 ? grid_->indicatorRow_ : grid_->Row());
    if (DataSource() && IsEditState(DataSource()->State())) grid_->footerPending_ = true;
}

void TkxGridDataLink::FocusControl(TField** field) {
    if (!*field) return;
    for (int i = 0; i < MappedCount(); ++i)
        if (MappedField(i) == *field) grid_->SelectColumn(i);
    if (grid_->MappedField(grid_->Col() - grid_->IndicatorOffset()) == *field && grid_->CanFocus()) {
        grid_->SetFocus();
        if (grid_->FocusedWithin()) *field = nullptr; // handled
    }
}

void TkxGridDataLink::LayoutChanged() {
    grid_->RebuildLayout();
}

void TkxGridDataLink::RecordChanged(TField* field) {
    grid_->RecordChanged(field);
}

void TkxGridDataLink::UpdateData() {
    grid_->UpdateData();
}

void TkxGridDataLink::ResetEdit() {
    if (modified_) {
        // The editor shows the field's value again.
        RecordChanged(nullptr);
        return;
    }
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (IsEditState(ds->State()) && ds->Modified()) {
        if (MessageBox(discardChangesText(), "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES) ds->Cancel();
    } else {
        ds->Cancel();
    }
}

// ---- layout ----

void TkxCustomDBGrid::RebuildLayout() {
    if (!link_ || Loading() || !HandleAllocated() || layoutBusy_ > 0) return;
    TCountGuard busy(layoutBusy_);
    clientWidthAtLayout_ = ClientWidth();
    {
        TCountGuard setting(widthSetting_);
        titleRowCount_ = 0;
        if (showHorzScrollBar_ && ProportionalSizing() &&
            (ScrollBars() == ssBoth || ScrollBars() == ssHorizontal))
            applyScrollBars();
        if (options_.Contains(dgTitles)) titleRowCount_ = 1;
        ApplyRowHeights();
        const int ind = IndicatorOffset();
        link_->ClearMapping();
        if (link_->Active()) BuildColumns();
        // One column per data column, at least one, after the indicator.
        const int n = useTFields_ || link_->MappedCount() > 0 ? link_->MappedCount() : selected_.Count();
        SetColCount(std::max(n, 1) + ind);
        if (ind) {
            SetColWidths(0, indicatorButton_ ? indicatorButton_->Width() - 1 : kIndicatorWidth);
            if (Col() == 0) MoveColRow(1, Row(), true, false);
        }
        HideEmbeddedControl();
        SyncRowCount();
        const int visible = VisibleRowCount();
        ApplyColumnWidths();
        if (VisibleRowCount() != visible) SyncRowCount();
        CheckFooter();
    }
    SyncCurrentRow();
    // The cells under the pointer may be others now: hovering starts again.
    ResetHover();
    Invalidate();
    SetFixedColor(titleColor_);
    CheckRecordWindow();
}

void TkxCustomDBGrid::ActivationChanged(bool active) {
    // The records of a dataset no longer shown are not read for the grid (the bar asks again).
    ForgetIdleReading(this);
    if (!active) HideEditor();
    RebuildLayout();
    SyncScrollBar();
    if (active) anchorBookmark_.clear();
    rowBookmark_.clear();
    footerBookmark_.clear();
    if (active) {
        if (HandleAllocated()) {
            if (Col() != lastEnteredColumn_) {
                Fire(OnColEnter);
                CellChangedReport();
            }
            lastEnteredColumn_ = Col();
        } else {
            pendingColumnEnter_ = true;
        }
        footerPending_ = true;
    } else {
        lastEnteredColumn_ = -1;
    }
}

// ---- dataset notifications ----

void TkxCustomDBGrid::RecordsChanged() {
    if (!HandleAllocated()) return;
    CheckFooter();
    TDataSet* ds = DataSet();
    const TDataSetState state = DataSource() ? DataSource()->State() : dsInactive;
    if ((state == dsInsert && ds && !(ds->Bof() && ds->Eof())) || state == dsBrowse) HideEmbeddedControl();
    SyncRowCount();
    SyncScrollBar();
    SyncCurrentRow();
    if (EditorShowing()) InplaceEditor()->UpdateContents();
    Invalidate();
    DetectRowChange();
    CheckRecordWindow();
}

void TkxCustomDBGrid::RecordsScrolled(int distance) {
    // Once every data row waits to be painted again (a walk over many records between two paints),
    // a record move invalidates nothing more: its cost stays the same however long the walk.
    const bool rowsInvalid = rowsInvalid_;
    if (HandleAllocated()) {
        const TRect before = rowsInvalid ? TRect{} : BoxRect(0, Row(), ColCount() - 1, Row());
        SyncScrollBar();
        SyncCurrentRow();
        const TRect after = rowsInvalid ? TRect{} : BoxRect(0, Row(), ColCount() - 1, Row());
        for (const TRect& r : {before, after})
            if (!r.IsEmpty()) InvalidateRect(InflateRect(r, 1, 1));
        HideEditor();
    }
    auto editorRule = [&] {
        if (options_.Contains(dgAlwaysShowEditor) && !IsControlCell(Col(), Row()) &&
            !IsMemoField(MappedField(Col() - IndicatorOffset())))
            ShowEditor();
    };
    if (distance != 0) {
        HideEmbeddedControl();
        if (std::abs(distance) > VisibleRowCount()) {
            Invalidate();
            editorRule();
            return;
        }
    }
    if (distance % 2 != 0) alternatePhase_ = !alternatePhase_;
    // The rows that stay keep their records: their picture moves by the distance and only the band
    // that comes in is painted (a paint that cannot move the picture paints the data rows again);
    // the indicator's mark moves from its row to the current one.
    if (distance != 0 && HandleAllocated() && !rowsInvalid) {
        // (Over a background picture the rows' picture cannot move: the picture stays where it is.)
        // A second move before a paint paints the rows again rather than moving their picture twice.
        const bool fast =
            paintOptions_->FastRecordScrolling() && !backgroundFillsDataCells() && scrollsUnpainted_++ == 0;
        if (!fast || !ScrollRowImages(distance)) {
            TRect rows = BoxRect(0, TitleRowCount(), ColCount() - 1, RowCount() - 1);
            if (!rows.IsEmpty()) InvalidateRect(InflateRect(rows, 1, 1));
            rowsInvalid_ = true;
        }
        if (options_.Contains(dgIndicator)) {
            if (indicatorRow_ >= 0 && indicatorRow_ < RowCount()) InvalidateCell(0, indicatorRow_);
            InvalidateCell(0, Row());
        }
    }
    editorRule();
    Fire(OnTopRowChanged);
    DetectRowChange();
    CheckRecordWindow();
}

void TkxCustomDBGrid::RecordChanged(TField* field) {
    const int ind = IndicatorOffset();
    TField* current = MappedField(Col() - ind);
    if (!field || !link_->InUpdate()) {
        if (field) {
            for (int i = 0; i < MappedFieldCount(); ++i)
                if (MappedField(i) == field) {
                    InvalidateCell(i + ind, Row());
                    break;
                }
        } else {
            InvalidateRow(Row());
        }
        if (!field || field == current) {
            ReloadEditor();
            link_->modified_ = false;
        }
    }
    TDataSet* ds = DataSet();
    if (field && ds && IsEditState(ds->State()) && OnFieldChanged) OnFieldChanged(this, field);
    accessibility::TableChanged(this);
}

void TkxCustomDBGrid::UpdateData() {
    TFlagGuard inUpdate(link_->inUpdate_);
    // The in-place editor's pending text goes into the field (KxGridEditing.cpp); a transfer that
    // fails keeps it pending.
    editTextWritten_ = link_->modified_ && WriteEditText();
}

// ---- the record window ----

void TkxCustomDBGrid::SyncRowCount() {
    if (rowCountBusy_) return;
    TFlagGuard busy(rowCountBusy_);
    const int t = titleRowCount_;
    // With whole-row selection (or editable fixed columns scrolled to) the left column is kept.
    const bool keepLeft = options_.Contains(dgRowSelect) ||
                          (options_.Contains(dgFixedEditable) && TCustomGrid::FixedCols() >= LeftCol());
    const int left = LeftCol();
    if (t >= RowCount()) SetRowCount(t + 1);
    SetFixedRows(t);
    TDataSet* ds = DataSet();
    // The temporary row count never outlives a handler that raises: its error passes on once the
    // window is settled.
    std::exception_ptr raised;
    if (link_->Active() && ds && ds->Active() && link_->RecordCount() > 0) {
        // The rows a full grid shows whole.
        SetRowCount(kFullGridRows);
        const int visible = VisibleRowCount();
        if (visible < link_->BufferCount() && Row() >= visible + t) {
            Invalidate();
            try {
                Fire(OnTopRowChanged);
            } catch (...) {
                raised = std::current_exception();
            }
        }
        link_->SetBufferCount(visible);
        SetRowCount(link_->RecordCount() + t);
        SyncCurrentRow();
    } else {
        SetRowCount(t + 1);
    }
    if (keepLeft) {
        if (left < ColCount()) SetLeftCol(left);
        Invalidate();
    }
    if (raised) std::rethrow_exception(raised);
}

void TkxCustomDBGrid::SyncCurrentRow() {
    if (!link_->Active()) return;
    const int t = titleRowCount_;
    int r = link_->ActiveRecord() + t;
    if (r != Row()) {
        if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
        if (r > VisibleRowCount()) {
            SyncRowCount();
            r = std::min(r, VisibleRowCount() + t - 1);
        }
        r = std::clamp(r, t, RowCount() - 1);
        TFlagGuard syncing(syncingRow_);
        MoveColRow(Col(), r, false, false);
    }
    // The in-place editor of a lookup list's drop-down never follows the field.
    if (!EditorShowing() || (Parent() && Parent()->InheritsFrom("TkxDBCustomLookupcombo"))) return;
    TField* f = MappedField(Col() - IndicatorOffset());
    if (f && f->Text() != editText_) InplaceEditor()->UpdateContents();
}

void TkxCustomDBGrid::SyncScrollBar() {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds || !ds->Active() || !HandleAllocated()) return;
    // Records the dataset still owes are read in idle time; the bar grows as they come.
    if (!ds->AllRecordsHeld()) IdleReader()->Read(ds, this, [this] { SyncScrollBar(); });
    if (!showVertScrollBar_) return;
    TScrollInfo s;
    if (ds->IsSequenced()) {
        ds->UpdateCursorPos();
        s.Min = 1;
        s.Page = VisibleRowCount();
        // The records held: the record count once every record is.
        s.Max = ds->HeldRecordCount() + s.Page - 1;
        const TDataSetState st = ds->State();
        s.Pos = st == dsInactive || st == dsBrowse || st == dsEdit ? ds->RecNo() : GetScrollPos(sbVertical);
    } else {
        s.Max = 4;
        s.Pos = link_->Bof() ? 0 : link_->Eof() ? 4 : 2;
    }
    const TScrollInfo now = GetScrollInfo(sbVertical);
    if (s.Min == now.Min && s.Max == now.Max && s.Page == now.Page && s.Pos == now.Pos) return;
    const bool scrolls = s.Max - s.Min > 1;
    if (!scrolls) {
        // Nothing to scroll: a thumb the length of the bar, which does not move.
        s.Min = 1;
        s.Max = 1001;
        s.Page = 1000;
    }
    EnableScrollBar(sbVertical, scrolls);
    // While every data row waits for a paint (a walk over many records), the bar on the screen
    // takes the last position with that paint rather than at every record.
    if (rowsInvalid_)
        SetScrollInfoSoon(sbVertical, s);
    else
        SetScrollInfo(sbVertical, s);
}

void TkxCustomDBGrid::UpdateScrollRange() {
    // The base grid sets the horizontal bar; the vertical one stands for the records.
    const TScrollInfo records = GetScrollInfo(sbVertical);
    TCustomGrid::UpdateScrollRange();
    if (ScrollBars() == ssVertical || ScrollBars() == ssBoth) SetScrollInfo(sbVertical, records);
}

void TkxCustomDBGrid::SetShowVertScrollBar(bool v) {
    showVertScrollBar_ = v;
    applyScrollBars();
    SyncScrollBar();
    Invalidate();
}

void TkxCustomDBGrid::CheckRecordWindow() const {
#ifndef NDEBUG
    TDataSet* ds = DataSet();
    if (!link_ || !link_->Active() || !HandleAllocated() || layoutBusy_ > 0 || rowCountBusy_ || Loading() ||
        !ds || !ds->Active() || ds->ControlsDisabled() || ds->State() == dsSetKey)
        return;
    const int t = titleRowCount_, records = link_->RecordCount();
    assert(RowCount() == std::max(records, 1) + t);
    assert(records <= link_->BufferCount());
    assert(records == 0 || Row() == link_->ActiveRecord() + t);
    (void)t;
    (void)records;
#endif
}

// ---- row and footer changes ----

void TkxCustomDBGrid::CellChangedReport() {
    // A click that moves the record reports the cell change itself, once the move is done.
    if (!rowChangedFired_ && !clickMoving_) Fire(OnCellChanged);
}

void TkxCustomDBGrid::DetectRowChange() {
    TFlagGuard keep(rowChangedFired_, rowChangedFired_);
    TDataSet* ds = DataSet();
    if (ds && ds->Active() && (OnRowChanged || OnCellChanged || OnUpdateFooter)) {
        TBookmark b = ds->GetBookmark();
        const TDataSetState state = DataSource() ? DataSource()->State() : dsInactive;
        bool change = rowBookmark_.empty();
        if (!change && !b.empty()) {
            int c = ds->CompareBookmarks(b, rowBookmark_);
            change = c == -1 || c == 1;
        } else if (!change && b.empty()) {
            change = state == dsInsert;
        }
        if (change) {
            Fire(OnRowChanged);
            CellChangedReport();
            rowChangedFired_ = true;
        }
        rowBookmark_ = std::move(b);
    }
    if (pendingColumnEnter_) {
        pendingColumnEnter_ = false;
        Fire(OnColEnter);
        CellChangedReport();
        Fire(OnUpdateFooter);
    }
    // A hint shown over the rows no longer belongs to their records.
    HideCellHint();
    accessibility::TableChanged(this);
}

void TkxCustomDBGrid::CheckFooter() {
    TDataSet* ds = DataSet();
    if (!OnUpdateFooter || !HandleAllocated() || !DataSource() || DataSource()->State() != dsBrowse || !ds)
        return;
    if (!footerPending_) {
        // A detail dataset's footer follows its master's record.
        TDataSource* master = nullptr;
        for (const char* property : {"DataSource", "MasterSource"}) {
            PropValue v = ds->GetProperty(property);
            if (auto object = std::get_if<TPersistent*>(&v)) master = dynamic_cast<TDataSource*>(*object);
            if (master) break;
        }
        if (master && master->DataSet()) {
            TBookmark b = master->DataSet()->GetBookmark();
            int c = master->DataSet()->CompareBookmarks(b, footerBookmark_);
            if (c == -1 || c == 1) footerPending_ = true;
            footerBookmark_ = std::move(b);
        }
    }
    if (!footerPending_ && !rowBookmark_.empty() && !ds->BookmarkValid(rowBookmark_)) footerPending_ = true;
    // Cleared before the handler runs: a handler that moves through the dataset comes back here.
    if (!footerPending_) return;
    footerPending_ = false;
    Fire(OnUpdateFooter);
}

// ---- embedded controls over the current cell ----

void TkxCustomDBGrid::HideEmbeddedControl() {
    TWinControl* c = currentEmbeddedControl_;
    if (!c || !c->Visible()) return;
    TForm* form = GetParentForm();
    if (!form || form->ActiveControl() != c) return;
    c->SetLeft(ClientWidth() + kOutOfSight);
    if (!CanFocus()) Abort();
    SetFocus();
    c->Hide();
}

void TkxCustomDBGrid::PlaceEmbeddedControl() {
    TWinControl* c = currentEmbeddedControl_;
    if (!c) return;
    TRect r = CellRect(Col(), Row());
    if (r.IsEmpty()) return;
    r = Bounds(r.Left, r.Top, ColWidths(Col()), DefaultRowHeight());
    if (c->BoundsRect() != r) c->SetBoundsRect(r);
}

void TkxCustomDBGrid::UpdateCurrentEmbeddedControl() {
    TWinControl* c =
        editControlOptions_.Contains(ecoDisableCustomControls) ? nullptr : FindEmbeddedControl(Col(), Row());
    if (c && c != dateTimePicker_) FreeNotification(c);
    currentEmbeddedControl_ = c == dateTimePicker_ ? nullptr : c;
}

// ---- scrolling by records ----

void TkxCustomDBGrid::PriorRecord() {
    TDataSet* ds = DataSet();
    if (ds->State() == dsInsert && !ds->Modified() && !link_->Modified() && ds->Eof()) {
        ds->Cancel();
    } else if (ds->Bof() && link_->ActiveRecord() > 0) {
        link_->SetActiveRecord(link_->ActiveRecord() - 1);
        SyncCurrentRow();
        Invalidate();
    } else {
        ds->Prior();
    }
}

void TkxCustomDBGrid::NextRecord() {
    TDataSet* ds = DataSet();
    if (ds->State() == dsInsert && !ds->Modified() && !link_->Modified()) {
        if (!ds->Eof()) ds->Cancel();
    } else if (ds->Eof() && ds->State() != dsInsert && link_->ActiveRecord() >= 0 &&
               link_->ActiveRecord() < link_->RecordCount() - 1) {
        link_->SetActiveRecord(link_->ActiveRecord() + 1);
        SyncCurrentRow();
        Invalidate();
    } else {
        ds->Next();
    }
}

void TkxCustomDBGrid::WMHScroll(int code, int pos) {
    // Over a background picture the whole grid is painted again after the columns move (the base
    // grid does so, and moves the editor out of sight with its cell); a cell's control cannot follow
    // that picture, so it goes first and the grid takes the focus from it.
    if (!paintOptions_->BackgroundBitmap().Empty()) {
        HideEmbeddedControl();
        if (CanFocus() && !Focused()) SetFocus();
    }
    TCustomGrid::WMHScroll(code, pos);
}

void TkxCustomDBGrid::WMVScroll(int code, int pos) {
    if (currentEmbeddedControl_) currentEmbeddedControl_->SetLeft(ClientWidth() + kOutOfSight);
    if (!CanFocus()) return;
    if (!FocusedWithin()) SetFocus();
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds) return;
    switch (code) {
    case SB_LINEUP:
        PriorRecord();
        break;
    case SB_LINEDOWN:
        NextRecord();
        break;
    case SB_PAGEUP:
        link_->MoveBy(-VisibleRowCount());
        break;
    case SB_PAGEDOWN:
        link_->MoveBy(VisibleRowCount());
        break;
    case SB_THUMBPOSITION:
        if (ds->IsSequenced()) {
            ds->CheckBrowseMode();
            const int before = ds->RecNo();
            // The bar spans the records held: its end is the last record, which reads them all.
            if (pos <= 1)
                ds->First();
            else if (pos < ds->HeldRecordCount())
                ds->SetRecNo(pos);
            else
                ds->Last();
            ds->UpdateCursorPos();
            ds->Resync(0);
            if (before != pos) Fire(OnTopRowChanged);
        } else {
            switch (pos) {
            case 0:
                ds->First();
                break;
            case 1:
                link_->MoveBy(-VisibleRowCount());
                break;
            case 3:
                link_->MoveBy(VisibleRowCount());
                break;
            case 4:
                ds->Last();
                break;
            default:
                break;
            }
        }
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

bool TkxCustomDBGrid::SelectCell(int col, int row) {
    // Text typed for the column being left is written into its field first.
    if (col != Col() && link_ && link_->Active() && link_->Modified()) link_->UpdateRecord();
    // Rows follow the dataset: the mouse and the keys move records, and the record window brings the
    // current row along. A row move of the base grid's own is refused.
    if (!syncingRow_ && link_ && link_->Active() && DataSet() && row != Row() && row >= TitleRowCount())
        return false;
    return TCustomGrid::SelectCell(col, row);
}

// ---- window events ----

void TkxCustomDBGrid::CreateWnd() {
    TCustomGrid::CreateWnd();
    if (!link_) return;
    RebuildLayout();
    SyncScrollBar();
    DetectRowChange();
}

void TkxCustomDBGrid::Resize() {
    if (ProportionalSizing() && DataColumnCount() > 0 && !referenceWidths_.empty())
        ProportionalResizeForWindow();
    TCustomGrid::Resize();
    if (!link_ || layoutBusy_ > 0 || !HandleAllocated()) return;
    HideEmbeddedControl();
    HideEditor();
    SyncRowCount();
    // The bar's page follows the rows now shown.
    SyncScrollBar();
    TDataSet* ds = DataSet();
    if (ds && ds->Active() && ds->Bof() && ds->Eof()) Invalidate();
    CheckRecordWindow();
}
