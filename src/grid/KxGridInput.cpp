// The selection grid's mouse and keyboard: check-box toggles, clicks that move the record (posting
// the pending tick of the row left), record and column navigation, Enter and Tab, insert, delete and
// cancel, the wheel, title buttons, link cells, row resizing, the focus, and the keyboard hook that
// brings navigation keys typed into an embedded control back to its grid.
//
// Costs: a click or a key is one dataset move over the records passed (MoveBy) and the repaint of
// the cells it changes; a toggle writes one field of the current record. Nothing here walks the
// dataset.
#include "core/Guard.h"
#include "core/SysUtils.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxInplaceEdit.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/InplaceEdit.h"
#include "ui/Input.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
// A title press becomes a column drag once the pointer went further than this.
constexpr int kDragStart = 2;
// While a column is dragged near an edge the grid scrolls a column every 100 ms.
constexpr int kDragScrollTimer = 1;
constexpr int kDragScrollMs = 100;
constexpr int kDragScrollZone = 10;
// A double click this near a title's right edge fits the column (probing 5 pixels to the left).
constexpr int kFitProbe = 5;
constexpr int kFitSlack = 8;
// The column whose border a sizing press is on: the one 8 pixels left of the pointer.
constexpr int kSizedProbe = 8;

// `c` lies somewhere inside `ancestor` (not `ancestor` itself).
bool inside(const TControl* c, const TWinControl* ancestor) {
    for (const TWinControl* p = c ? c->Parent() : nullptr; p; p = p->Parent())
        if (p == ancestor) return true;
    return false;
}

// The keyboard hook, one for the process while a grid has the focus: a key typed into a control
// inside a grid (other than the grid's own in-place editor) goes to the nearest grid around it.
int keyHook = 0;

bool routeToGrid(TWinControl* target, Word key, TShiftState shift) {
    for (TWinControl* p = target ? target->Parent() : nullptr; p; p = p->Parent())
        if (auto* grid = dynamic_cast<TkxCustomDBGrid*>(p)) {
            TInplaceEdit* editor = grid->InplaceEditor();
            if (editor && (target == editor || inside(target, editor))) return false;
            return grid->RouteEmbeddedKey(target, key, shift);
        }
    return false;
}

void installKeyHook() {
    if (!keyHook) keyHook = Application->AddKeyHook(routeToGrid);
}

void removeKeyHook() {
    if (keyHook) Application->RemoveKeyHook(keyHook);
    keyHook = 0;
}
} // namespace

// ---- check boxes ----

bool TkxCustomDBGrid::IsSelectionCheckBoxColumn(int gridCol) const {
    TField* f = MappedField(gridCol - IndicatorOffset());
    if (!f || f->FieldKind() != fkCalculated || !SameText(f->FieldName(), "selected")) return false;
    AnsiString type, parameters;
    GetControlType(f->FieldName(), type, parameters);
    return type == "CheckBox";
}

bool TkxCustomDBGrid::CanEditRecord() const {
    TDataSource* source = DataSource();
    TDataSet* ds = DataSet();
    return source && ds && ds->Active() && (source->AutoEdit() || IsEditState(source->State())) &&
           ds->CanModify();
}

void TkxCustomDBGrid::ToggleCheckBox(int gridCol, int gridRow) {
    AnsiString checked, unchecked;
    if (!FindCheckBoxValues(gridCol, gridRow, checked, unchecked)) return;
    const int dataCol = gridCol - IndicatorOffset();
    TField* f = DataCellField(gridCol, gridRow);
    if (!f || f->ReadOnly() || ColumnAt(dataCol).ReadOnly()) return;
    // The box belongs to the current record: the field written below is the current record's, so a
    // cell of another row (a press that could not move the record) changes nothing.
    if (gridRow - TitleRowCount() != link_->ActiveRecord()) return;
    if (IsSelectionCheckBoxColumn(gridCol)) {
        IsActiveRecordSelected() ? RemoveFromSelection() : AddToSelection();
        return;
    }
    if (!CanEditRecord()) return;
    TDataSet* ds = DataSet();
    // Editing an empty dataset would insert a record.
    if (ds->Bof() && ds->Eof() && DataSource()->State() == dsBrowse && !keyOptions_.Contains(dgAllowInsert))
        return;
    if (!link_->Edit()) return;
    f->SetText(SameText(GetCellText(dataCol), checked) ? unchecked : checked);
    InvalidateCell(gridCol, gridRow);
    Update();
}

// ---- the mouse ----

void TkxCustomDBGrid::DblClick() {
    if (CanFocus()) TCustomGrid::DblClick();
}

void TkxCustomDBGrid::CalcSizingState(int x, int y, TGridState& state, int& index, int& sizingPos,
                                      int& sizingOfs, const TGridDrawInfo& fixedInfo) {
    TCustomGrid::CalcSizingState(x, y, state, index, sizingPos, sizingOfs, fixedInfo);
    // The indicator keeps its width; frozen data columns are sized only with dgFixedResizable or
    // dgFixedEditable.
    const bool fixedSizable = options_.Contains(dgFixedResizable) || options_.Contains(dgFixedEditable);
    if (state == gsColSizing && index < TCustomGrid::FixedCols() &&
        !(fixedSizable && index >= IndicatorOffset())) {
        state = gsNormal;
        index = -1;
    }
}

void TkxCustomDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    sizedCol_ = -1;
    sizedColStartWidth_ = 0;
    dragHappened_ = false;
    pressRefused_ = false;
    pressPoint_ = {x, y};
    // A hint over a cell goes with every press.
    HideCellHint();
    const bool canFocus = CanFocus();
    const int ind = IndicatorOffset();

    if (button == mbLeft && shift.Contains(ssDouble)) {
        // OnDblClick came with the double click itself (DblClick). A double click on a title's right
        // edge fits that column to its content.
        if (options_.Contains(dgDblClickColSizing)) {
            const int probe = x - kFitProbe;
            const TGridCoord c = MouseCoord(probe, y);
            if (c.X >= 0 && c.Y >= 0 && c.Y < TitleRowCount() &&
                CellRect(c.X, c.Y).Right - probe <= kFitSlack)
                FitColumn(c.X);
        }
        return;
    }

    if (button == mbLeft) {
        TGridDrawInfo fixedInfo;
        CalcFixedInfo(fixedInfo);
        TGridState state = gsNormal;
        int index = -1, pos = 0, ofs = 0;
        CalcSizingState(x, y, state, index, pos, ofs, fixedInfo);
        if (state != gsNormal) {
            if (state == gsColSizing && (options_.Contains(dgRowResize) || ProportionalSizing())) {
                sizedCol_ = index;
                sizedColStartWidth_ = ColWidths(index);
            }
            widthChangedCol_ = MouseCoord(x - kSizedProbe, y).X;
            if (link_->Active()) link_->UpdateRecord();
            StartSizing(x, y);
            return;
        }
    }

    const TGridCoord cell = MouseCoord(x, y);
    if (cell.X < 0 || cell.Y < 0) {
        if (canFocus) TCustomControl::MouseDown(button, shift, x, y);
        return;
    }

    if (cell.Y < TitleRowCount()) {
        if (!canFocus) return;
        if (!FocusedWithin()) SetFocus();
        if (TitleButtonsOn() && button == mbLeft && cell.X >= ind) {
            const TRect r = CellRect(cell.X, cell.Y);
            pressedTitleCol_ = cell.X - ind;
            pressedTitleRow_ = cell.Y;
            pressedTitleBand_ =
                !ColumnAt(cell.X - ind).GroupHeaderName().empty() && y < r.Top + r.Height() / 2;
            InvalidateRow(cell.Y);
        }
        // A scrolling title may be dragged to another place; a fixed one only sized.
        if (button == mbLeft && options_.Contains(dgColumnResize)) StartColumnMove(cell, x, y);
        TCustomControl::MouseDown(button, shift, x, y);
        return;
    }

    if (link_->Active()) {
        const TGridCoord before{Col(), Row()};
        if (cell != before) HideEmbeddedControl();
        if (!FocusedWithin()) {
            if (canFocus) SetFocus();
            if (!FocusedWithin()) {
                pressRefused_ = true;
                return;
            }
        }
        const int dataCol = cell.X - ind;
        if (cell == before && button != mbRight && !IsControlCell(cell.X, cell.Y) &&
            !IsMemoField(MappedField(dataCol)) &&
            !EditorBarredFromColumn(dataCol))
            ShowEditor();
        if (!options_.Contains(dgRowSelect) &&
            (cell.X >= TCustomGrid::FixedCols() || options_.Contains(dgFixedEditable)))
            SelectColumn(dataCol);
        if (cell.Y != Row()) {
            // Moving posts the pending tick of the row left; the cell change is reported once, below.
            TFlagGuard moving(clickMoving_);
            link_->MoveBy(cell.Y - Row());
        }
        if (Row() != before.Y) Fire(OnCellChanged);

        if (button == mbLeft && CacheItem(cell.X).Type == "URL-Link") OpenLinkCell(cell.X);

        if (options_.Contains(dgMultiSelect) && !IsSelectionCheckBoxColumn(cell.X)) {
            const bool ctrl = shift.Contains(ssCtrl), shiftKey = shift.Contains(ssShift);
            const bool shiftSelect = multiSelectOptions_.Contains(msoShiftSelect);
            const bool autoUnselect = multiSelectOptions_.Contains(msoAutoUnselect);
            // A Shift press with an anchor selects the range instead (TkxDBGrid), which holds this record.
            const bool range = shiftKey && shiftSelect && !anchorBookmark_.empty();
            if ((ctrl || shiftKey) && !range)
                IsActiveRecordSelected() ? RemoveFromSelection() : AddToSelection();
            else if (!ctrl && !shiftKey && autoUnselect && button == mbLeft) {
                ClearMultiSelection();
                AddToSelection();
            }
            if (shiftSelect && (ctrl || shiftKey || autoUnselect)) {
                DataSet()->CheckBrowseMode();
                if (!range) anchorBookmark_ = DataSet()->GetBookmark();
            }
        }

        InvalidateCell(Col(), Row());
        // Custom controls serve only a grid that edits.
        if (!editControlOptions_.Contains(ecoDisableCustomControls) && EditingAllowed()) {
            UpdateCurrentEmbeddedControl();
            if (TWinControl* c = currentEmbeddedControl_) {
                ShowEmbeddedControl();
                // The press goes on to the control under the pointer.
                if (c->Visible() && c->BoundsRect().Contains({x, y})) {
                    c->DispatchMouseDown(button, shift, x - c->Left(), y - c->Top());
                    c->DispatchMouseUp(button, shift, x - c->Left(), y - c->Top());
                }
            }
        }
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TkxCustomDBGrid::MouseDrag(TShiftState shift, int x, int y) {
    if (GridState() == gsColMoving) {
        if (!dragHappened_ &&
            (std::abs(x - pressPoint_.X) > kDragStart || std::abs(y - pressPoint_.Y) > kDragStart)) {
            // A drag, not a click: the title comes up and no title click follows.
            dragHappened_ = true;
            if (pressedTitleCol_ >= 0) {
                InvalidateRow(pressedTitleRow_);
                pressedTitleCol_ = pressedTitleRow_ = -1;
                pressedTitleBand_ = false;
            }
            MakeDragPicture();
        }
        if (dragHappened_) {
            MoveDragPicture(x);
            // Near an edge the grid scrolls towards it, a column every 100 ms.
            const int fixedEdge = DrawInfo().Horz.FixedBoundary;
            int scroll = 0;
            if (x > lastDragX_ && x >= ClientWidth() - kDragScrollZone)
                scroll = 1;
            else if (x < lastDragX_ && x <= fixedEdge + kDragScrollZone)
                scroll = -1;
            else if (x > fixedEdge + kDragScrollZone && x < ClientWidth() - kDragScrollZone)
                scroll = 0;
            else
                scroll = dragScroll_;
            if (scroll != dragScroll_) {
                dragScroll_ = scroll;
                scroll ? SetTimer(kDragScrollTimer, kDragScrollMs) : KillTimer(kDragScrollTimer);
            }
        }
    }
    lastDragX_ = x;
    lastDragY_ = y;
    TCustomGrid::MouseDrag(shift, x, y);
}

void TkxCustomDBGrid::WMTimer(int id) {
    if (id != kDragScrollTimer) {
        TCustomGrid::WMTimer(id);
        return;
    }
    if (GridState() != gsColMoving || dragScroll_ == 0) {
        dragScroll_ = 0;
        KillTimer(kDragScrollTimer);
        return;
    }
    MoveTopLeft(LeftCol() + dragScroll_, TopRow());
    TCustomGrid::MouseDrag({}, lastDragX_, lastDragY_);
}

void TkxCustomDBGrid::MouseRelease(TMouseButton button, TShiftState shift, int x, int y) {
    const TGridState state = GridState();
    const int index = SizingIndex();
    if (dragScroll_) KillTimer(kDragScrollTimer);
    dragScroll_ = 0;
    auto clear = [this] {
        pressedTitleCol_ = pressedTitleRow_ = -1;
        pressedTitleBand_ = false;
        dragHappened_ = false;
        DropDragPicture();
        sizedCol_ = -1;
        sizedColStartWidth_ = 0;
    };
    try {
        TCustomGrid::MouseRelease(button, shift, x, y);
        if (state == gsColSizing) {
            if (OnColWidthChanged) OnColWidthChanged(this, widthChangedCol_);
            if (options_.Contains(dgFixedResizable) && index >= IndicatorOffset() &&
                index < TCustomGrid::FixedCols() && ColWidths(index) < 2)
                SetColWidths(index, 2);
        } else if (state == gsRowSizing) {
            RowResized(index);
        }
        if (pressedTitleCol_ >= 0) {
            const int col = pressedTitleCol_ + IndicatorOffset(), row = pressedTitleRow_;
            pressedTitleCol_ = pressedTitleRow_ = -1;
            InvalidateRow(row);
            const TGridCoord c = MouseCoord(x, y);
            TkxColumn& column = ColumnAt(col - IndicatorOffset());
            if (y >= 0 && c.X == col && c.Y == row && !dragHappened_ && !column.IsNullColumn() &&
                OnTitleButtonClick) {
                const TRect r = CellRect(col, row);
                const bool band = !column.GroupHeaderName().empty() && y < r.Top + r.Height() / 2;
                OnTitleButtonClick(this, band ? column.GroupHeaderName() : column.FieldName());
            }
        }
    } catch (...) {
        clear();
        throw;
    }
    clear();
}

void TkxCustomDBGrid::MouseMove(TShiftState shift, int x, int y) {
    TCustomGrid::MouseMove(shift, x, y);
    const TGridCoord cell = MouseCoord(x, y);
    const int ind = IndicatorOffset(), t = TitleRowCount();
    const TGridCoord none{-1, -1};

    // Link cells: the hand while over one, the cell painted hot.
    const bool onLink = cell.X >= ind && cell.Y >= t && link_->Active() &&
                        cell.Y - t < link_->RecordCount() && CacheItem(cell.X).Type == "URL-Link";
    const TGridCoord link = onLink ? cell : none;
    if (link != hotLinkCell_) {
        if (hotLinkCell_ == none) {
            cursorBeforeLink_ = Cursor();
            SetCursor(crHandPoint);
        } else {
            InvalidateCell(hotLinkCell_.X, hotLinkCell_.Y);
            if (link == none) SetCursor(cursorBeforeLink_);
        }
        hotLinkCell_ = link;
        if (link != none) InvalidateCell(link.X, link.Y);
    }

    // Hot tracking of titles while no button is held. Only the visual styles draw a hot title: the
    // classic look has nothing to repaint, and a title left hot when the styles went is forgotten.
    if (!shift.Contains(ssLeft) && !shift.Contains(ssRight) && !shift.Contains(ssMiddle)) {
        const bool themed = ThemedLook();
        const TGridCoord hot = themed && cell.Y >= 0 && cell.Y < t && cell.X >= ind ? cell : none;
        // A grouped title is hot in one half: its band (lit across the group) or its own title.
        const bool band = hot != none && !ColumnAt(hot.X - ind).GroupHeaderName().empty() &&
                          y < GroupBandRect(hot.X - ind).Bottom;
        if (hot != hotTitle_ || band != hotTitleBand_) {
            if (themed && hotTitle_ != none) InvalidateTitle(hotTitle_);
            if (hot != none) InvalidateTitle(hot);
            hotTitle_ = hot;
            hotTitleBand_ = band;
        }
    }
    CellHintMouseMove(x, y);
}

// The pointer went off the grid (or onto a control over it).
void TkxCustomDBGrid::MouseLeave() {
    ResetHover();
}

// No cell stays hot and the pointer's shape from before the link cells comes back (it is the shape
// remembered from now on).
void TkxCustomDBGrid::ResetHover() {
    const TGridCoord none{-1, -1};
    if (hotLinkCell_ != none) {
        InvalidateCell(hotLinkCell_.X, hotLinkCell_.Y);
        SetCursor(cursorBeforeLink_);
        hotLinkCell_ = none;
    }
    cursorBeforeLink_ = Cursor();
    if (hotTitle_ != none) {
        if (ThemedLook()) InvalidateTitle(hotTitle_);
        hotTitle_ = none;
        hotTitleBand_ = false;
    }
}

void TkxCustomDBGrid::InvalidateTitle(TGridCoord cell) {
    InvalidateCell(cell.X, cell.Y);
    const int dataCol = cell.X - IndicatorOffset();
    if (dataCol >= 0 && dataCol < DataColumnCount() && !ColumnAt(dataCol).GroupHeaderName().empty())
        InvalidateRect(GroupBandRect(dataCol));
}

bool TkxCustomDBGrid::DoMouseWheelDown(TShiftState, TPoint) {
    if (link_->Active() && DataSet()) DataSet()->Next();
    return true;
}

bool TkxCustomDBGrid::DoMouseWheelUp(TShiftState, TPoint) {
    if (link_->Active() && DataSet()) DataSet()->Prior();
    return true;
}

// ---- link cells ----

AnsiString TkxCustomDBGrid::LinkToOpen(const AnsiString& address) {
    const AnsiString upper = UpperCase(address);
    if (AnsiFind(upper, "MAILTO:") != std::string_view::npos) return address;
    const size_t at = AnsiFind(upper, "@"), dot = AnsiFind(upper, ".");
    // "@" after the first character and before the first ".": a mail address.
    if (at != std::string_view::npos && at > 0 && dot != std::string_view::npos && at < dot)
        return "MailTo:" + address;
    return address;
}

void TkxCustomDBGrid::OpenLinkCell(int gridCol) {
    TField* f = MappedField(gridCol - IndicatorOffset());
    if (!f) return;
    AnsiString display, address;
    SplitLinkValue(f->Text(), display, address);
    bool useDefault = true;
    if (OnURLOpen) OnURLOpen(this, address, f, useDefault);
    if (!useDefault) return;
    const AnsiString link = LinkToOpen(address);
    const TCursor saved = Screen().Cursor();
    Screen().SetCursor(crHourGlass);
    try {
        ShellOpen(link);
    } catch (...) {
        Screen().SetCursor(saved);
        throw;
    }
    Screen().SetCursor(saved);
}

// ---- keys ----

void TkxCustomDBGrid::TakeFocusFromEmbeddedControl() {
    TForm* form = GetParentForm();
    TWinControl* active = form ? form->ActiveControl() : nullptr;
    if (!active || active == this || active == InplaceEditor() || !inside(active, this)) return;
    if (CanFocus()) SetFocus();
}

void TkxCustomDBGrid::NextRecordOrAppend() {
    TDataSet* ds = DataSet();
    // An untouched new record at the end stays where it is.
    if (ds->State() == dsInsert && !ds->Modified() && !link_->Modified() && ds->Eof()) return;
    NextRecord();
    if (ds->Eof() && ds->CanModify() && EditingAllowed() && keyOptions_.Contains(dgAllowInsert)) {
        HideEmbeddedControl();
        ds->Append();
    }
}

void TkxCustomDBGrid::TabToNextColumn(bool forward) {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds) return;
    const int ind = IndicatorOffset();
    const int first = options_.Contains(dgFixedEditable) ? ind : std::max(ind, TCustomGrid::FixedCols());
    const int last = ColCount() - 1;
    const int start = Col();
    int c = start;
    // Each column is visited at most once per record, and the search ends at the start column.
    for (int guard = 2 * ColCount() + 2; guard > 0; --guard) {
        c += forward ? 1 : -1;
        if (c > last || c < first) {
            HideEmbeddedControl();
            if (options_.Contains(dgTabExitsOnLastCol)) {
                if (TForm* form = GetParentForm()) form->SelectNext(this, forward, true);
                return;
            }
            forward ? NextRecordOrAppend() : PriorRecord();
            c = forward ? first : last;
        }
        if (c == start) return;
        if (TabStops(c)) {
            SelectColumn(c - ind);
            return;
        }
    }
}

bool TkxCustomDBGrid::RouteEmbeddedKey(TWinControl* target, Word key, TShiftState shift) {
    bool navigation = false;
    switch (key) {
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_INSERT:
        navigation = true;
        break;
    case VK_DOWN:
        // Alt+Down opens the control's own drop-down; it moves no record.
        navigation = !shift.Contains(ssAlt);
        break;
    case VK_RETURN:
        navigation = keyOptions_.Contains(dgEnterToTab);
        break;
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_DELETE:
        // A control that moves a caret keeps these.
        navigation = !(target->DialogCode() & DLGC_WANTARROWS);
        break;
    default:
        break;
    }
    if (!navigation || !link_->Active()) return false;
    // The record keys leave the cell: the cell's control goes out of sight while it still has the
    // focus (once the grid has taken the focus back it would stay over a row no longer current).
    if (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT) HideEmbeddedControl();
    TakeFocusFromEmbeddedControl();
    Word k = key;
    KeyDown(k, shift);
    return true;
}

void TkxCustomDBGrid::GridKeyDown(Word& key, TShiftState shift) {
    TForm* form = GetParentForm();
    TWinControl* active = form ? form->ActiveControl() : nullptr;
    // An embedded control of the current cell that has the focus keeps its keys.
    if (currentEmbeddedControl_ && active == currentEmbeddedControl_) return;
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds) return;
    const bool ctrl = shift.Contains(ssCtrl);
    const int ind = IndicatorOffset();
    const bool rowSelect = options_.Contains(dgRowSelect);
    // Home and End move records when there is no other column to go to.
    const bool byRecords = ctrl || rowSelect || ds->FieldCount() == 1;
    auto firstOfWindow = [&] { link_->MoveBy(-link_->ActiveRecord()); };
    auto lastOfWindow = [&] { link_->MoveBy(link_->RecordCount() - 1 - link_->ActiveRecord()); };
    switch (key) {
    case VK_TAB:
    case VK_RETURN:
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
        TakeFocusFromEmbeddedControl();
        break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
        Update();
        HideEmbeddedControl();
        TakeFocusFromEmbeddedControl();
        if (!FocusedWithin() && CanFocus()) SetFocus();
        break;
    default:
        break;
    }
    switch (key) {
    case VK_UP:
        ctrl ? firstOfWindow() : PriorRecord();
        break;
    case VK_DOWN:
        ctrl ? lastOfWindow() : NextRecordOrAppend();
        break;
    case VK_PRIOR:
        ctrl ? firstOfWindow() : (void)link_->MoveBy(-VisibleRowCount());
        break;
    case VK_NEXT:
        ctrl ? lastOfWindow() : (void)link_->MoveBy(VisibleRowCount());
        break;
    case VK_HOME:
        byRecords ? ds->First() : SelectColumn(0);
        break;
    case VK_END:
        byRecords ? ds->Last() : SelectColumn(DataColumnCount() - 1);
        break;
    case VK_LEFT:
        if (rowSelect && !ctrl)
            PriorRecord();
        else
            SelectColumn(ctrl ? 0 : Col() - ind - 1);
        break;
    case VK_RIGHT:
        if (rowSelect && !ctrl)
            NextRecordOrAppend();
        else if (ctrl)
            SelectColumn(DataColumnCount() - 1);
        else if (options_.Contains(dgFixedEditable) && Col() >= ind && Col() == TCustomGrid::FixedCols() - 1)
            SelectColumn(LeftCol() - ind);
        else
            SelectColumn(Col() - ind + 1);
        break;
    case VK_TAB:
        if (shift.Contains(ssAlt)) return;
        TabToNextColumn(!shift.Contains(ssShift));
        break;
    case VK_RETURN:
        // Without dgEnterToTab the typed Enter toggles the editor (KeyPress).
        if (!keyOptions_.Contains(dgEnterToTab)) return;
        TabToNextColumn(!shift.Contains(ssShift));
        break;
    case VK_ESCAPE:
        link_->ResetEdit();
        if (!options_.Contains(dgAlwaysShowEditor)) {
            HideEditor();
        } else if (auto* editor = dynamic_cast<TkxInplaceEdit*>(InplaceEditor()); editor && OnCheckValue) {
            // The editor stays: what it shows now is checked against the column's mask.
            editor->CheckValue(editor->Text());
        }
        break;
    case VK_INSERT:
        // A dataset that cannot be modified says so itself.
        if (EditingAllowed() && keyOptions_.Contains(dgAllowInsert)) {
            HideEmbeddedControl();
            ds->Insert();
        }
        break;
    case VK_DELETE:
        if (!ctrl) return;
        // An empty dataset has nothing to delete: no question is asked for it.
        if (keyOptions_.Contains(dgAllowDelete) && !readOnly_ && ds->CanModify() &&
            options_.Contains(dgEditing) && !(ds->IsEmpty() && ds->State() != dsInsert) &&
            (!options_.Contains(dgConfirmDelete) ||
             MessageBox("Delete record?", "Confirm", MB_OKCANCEL | MB_ICONQUESTION) == IDOK)) {
            ds->Delete();
            HideEditor();
        }
        break;
    case VK_F2: {
        TField* f = MappedField(Col() - ind);
        if (!f || f->IsBlob() || IsControlCell(Col(), Row())) return;
        ShowEditor();
        break;
    }
    default:
        return;
    }
    key = 0;
}

void TkxCustomDBGrid::KeyPress(char& key) {
    const auto b = static_cast<unsigned char>(key);
    if (key == '\r' && keyOptions_.Contains(dgEnterToTab)) {
        // Enter typed in the in-place editor arrives here as a character: it is Tab too.
        TabToNextColumn(true);
        key = 0;
        return;
    }
    if ((b == 8 || b >= 32) && link_->Active() && EditingAllowed() &&
        (IsControlCell(Col(), Row()) || IsMemoField(MappedField(Col() - IndicatorOffset())))) {
        // A check box, a picture or an embedded control never opens the text editor: the character
        // goes to the cell's control, or nowhere.
        TWinControl* c = currentEmbeddedControl_;
        if (c && c->Visible()) c->DispatchChar(key);
        key = 0;
        return;
    }
    if (key == '\r' && !options_.Contains(dgAlwaysShowEditor)) {
        if (link_->Active()) link_->UpdateRecord();
        TCustomGrid::KeyPress(key);
        if (EditorMode() && !EditorShowing()) {
            // The cell cannot show an editor: Enter is the form's.
            HideEditor();
            if (TForm* form = GetParentForm()) form->DialogKey(VK_RETURN, {});
        }
        return;
    }
    TCustomGrid::KeyPress(key);
}

// ---- focus ----

void TkxCustomDBGrid::GridEnter() {
    TCustomGrid::GridEnter();
    gridFocused_ = true;
    // The base grid repaints the selection; the whole current row looks otherwise with the focus only
    // when it carries the active-record colour.
    if (PaintOptions()->ActiveRecordColor() != clNone && !options_.Contains(dgAlwaysShowSelection))
        InvalidateRow(Row());
    installKeyHook();
}

void TkxCustomDBGrid::GridExit() {
    TForm* form = GetParentForm();
    // The focus went into a control embedded in a cell: it is still the grid's.
    if (form && inside(form->ActiveControl(), this)) return;
    if (!dynamic_cast<TkxCustomDBGrid*>(Parent())) removeKeyHook();
    TDataSet* ds = DataSet();
    if (link_->Active() && ds) {
        if (options_.Contains(dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() &&
            !link_->Modified())
            ds->Cancel();
        else
            link_->UpdateRecord();
    }
    if (!options_.Contains(dgAlwaysShowSelection)) InvalidateRow(Row());
    gridFocused_ = false;
    TCustomGrid::GridExit();
}

// ---- TkxDBGrid ----

void TkxDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const TGridCoord current{Col(), Row()};
    pressClicked_ = false;
    TkxCustomDBGrid::MouseDown(button, shift, x, y);
    if (pressRefused_) return;
    const TGridCoord cell = MouseCoord(x, y);
    const bool dataCell =
        cell.X >= IndicatorOffset() && cell.Y >= TitleRowCount() && DataCellField(cell.X, cell.Y);
    if (Options().Contains(dgFixedEditable) && GridState() == gsNormal && dataCell &&
        Options().Contains(dgEditing)) {
        if (cell == current && Options().Contains(dgAlwaysShowEditor) && !IsControlCell(cell.X, cell.Y) &&
            !IsMemoField(MappedField(cell.X - IndicatorOffset())) &&
            !EditorBarredFromColumn(cell.X - IndicatorOffset()))
            ShowEditor();
        Click();
        pressClicked_ = button == mbLeft;
    }
    if (button != mbLeft) return;
    Update();
    const bool selectionColumn = dataCell && IsSelectionCheckBoxColumn(cell.X);
    if (!dataCell || !(EditingAllowed() || selectionColumn || Options().Contains(dgMultiSelect))) return;
    // With ecoCheckboxSingleClick every single press toggles and the second press of a double click
    // does not; without it only the second press does.
    const bool singleClick = EditControlOptions().Contains(ecoCheckboxSingleClick);
    if ((EditingAllowed() || selectionColumn) && (shift.Contains(ssDouble) ? !singleClick : singleClick)) {
        ToggleCheckBox(cell.X, cell.Y);
        Update();
    }
    if (cell == current && currentEmbeddedControl_ && !currentEmbeddedControl_->Visible())
        InvalidateCell(cell.X, cell.Y);
    if (Options().Contains(dgMultiSelect) && MultiSelectOptions().Contains(msoShiftSelect) &&
        shift.Contains(ssShift) && !SelectionAnchor().empty())
        SelectRangeToAnchor();
}

void TkxDBGrid::Click() {
    if (std::exchange(pressClicked_, false)) return;
    TkxCustomDBGrid::Click();
}

void TkxDBGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    // A release off the grid brings no click to take.
    if (!ClientRect().Contains({x, y})) pressClicked_ = false;
    TkxCustomDBGrid::MouseUp(button, shift, x, y);
}

void TkxDBGrid::GridKeyDown(Word& key, TShiftState shift) {
    TWinControl* embedded = currentEmbeddedControl_;
    if (key == VK_DOWN && shift.Contains(ssAlt) && embedded && embedded->Visible()) {
        // Alt+Down opens the cell's control (a drop-down list, say).
        if (embedded->CanFocus()) embedded->SetFocus();
        embedded->DispatchKeyDown(key, shift);
        key = 0;
        return;
    }
    TkxCustomDBGrid::GridKeyDown(key, shift);
    if (key == 0 || !DataLink().Active()) return;
    if (key == 'C' && shift == TShiftState{ssCtrl}) {
        CopyToClipboard();
        key = 0;
        return;
    }
    const int ind = IndicatorOffset();
    if (Options().Contains(dgRowSelect) && Options().Contains(dgMultiSelect)) {
        if (key == VK_SPACE) {
            IsActiveRecordSelected() ? RemoveFromSelection() : AddToSelection();
            key = 0;
        }
        return;
    }
    TField* f = MappedField(Col() - ind);
    if (!IsMemoField(f) && !EditingAllowed() && !IsSelectionCheckBoxColumn(Col())) return;
    AnsiString checked, unchecked;
    if (FindCheckBoxValues(Col(), Row(), checked, unchecked)) {
        // Space ticks; other keys do nothing on a check box.
        if (key == VK_SPACE) {
            ToggleCheckBox(Col(), Row());
            key = 0;
        }
        return;
    }
    if (embedded && embedded == FindEmbeddedControl(Col(), Row())) {
        if (key == VK_F2) {
            // F2 shows the cell's control and puts the focus into it.
            ShowEmbeddedControl();
            if (embedded->Visible() && embedded->CanFocus()) embedded->SetFocus();
            key = 0;
        }
        return;
    }
    if (IsMemoField(f)) {
        // F2 edits the memo in its dialog; the cell shows the outcome.
        if (key == VK_F2) {
            key = 0;
            OpenMemoDialog();
        }
        return;
    }
    if (key == VK_DELETE && EditingAllowed() && !EditorBarredFromColumn(Col() - ind)) {
        ShowEditor();
        if (EditorShowing()) SendKey(InplaceEditor(), VK_DELETE, shift);
        key = 0;
    }
}

void TkxDBGrid::GridExit() {
    TForm* form = GetParentForm();
    const bool intoCell = form && inside(form->ActiveControl(), this);
    TkxCustomDBGrid::GridExit();
    if (intoCell) return;
    if (currentEmbeddedControl_ && currentEmbeddedControl_->Visible()) currentEmbeddedControl_->Hide();
    HideEditor();
}
