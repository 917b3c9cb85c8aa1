#include "grid/KxGridAccessible.h"

#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "ui/Keys.h"

int TkxGridAccessibleFace::RowCount() {
    TDataSet* ds = grid_.DataSet();
    if (!grid_.DataLink().Active() || !ds)
        return 0;
    const int n = ds->RecordCount();
    // A dataset that does not count its records shows only its window.
    return n >= 0 ? n : grid_.DataLink().RecordCount();
}

int TkxGridAccessibleFace::ColumnCount() {
    return grid_.DataLink().Active() ? grid_.MappedFieldCount() : 0;
}

AnsiString TkxGridAccessibleFace::ColumnTitle(int col) { return grid_.TitleText(col); }

AnsiString TkxGridAccessibleFace::CellText(int row, int col) {
    const int k = accessibility::RecordWindowPosition(grid_.DataLink(), row);
    if (k < 0 || CellCheckState(row, col) != NoCheckBox)
        return {};
    TActiveRecordScope record(grid_.DataLink(), k);
    return grid_.GetCellText(col);
}

IAccessibleTable::CheckState TkxGridAccessibleFace::CellCheckState(int row, int col) {
    const int gridCol = col + grid_.IndicatorOffset();
    if (col < 0 || col >= ColumnCount() || grid_.CacheItem(gridCol).Type != "CheckBox")
        return NoCheckBox;
    const int k = accessibility::RecordWindowPosition(grid_.DataLink(), row);
    if (k < 0)
        return Unchecked;
    TActiveRecordScope record(grid_.DataLink(), k);
    // The selection box of a calculated "selected" column shows the multi-selection.
    if (grid_.IsSelectionCheckBoxColumn(gridCol))
        return grid_.IsActiveRecordSelected() ? Checked : Unchecked;
    return grid_.CellShowsChecked(gridCol) ? Checked : Unchecked;
}

TRect TkxGridAccessibleFace::CellBounds(int row, int col) {
    const int k = accessibility::RecordWindowPosition(grid_.DataLink(), row);
    if (k < 0 || col < 0 || col >= ColumnCount())
        return {};
    return grid_.CellRect(col + grid_.IndicatorOffset(), k + grid_.TitleRowCount());
}

bool TkxGridAccessibleFace::CurrentCell(int& row, int& col) {
    row = accessibility::CurrentDataRow(grid_.DataLink());
    col = grid_.Col() - grid_.IndicatorOffset();
    return row >= 0 && col >= 0 && col < ColumnCount();
}

void TkxGridAccessibleFace::FocusCell(int row, int col) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColumnCount())
        return;
    // As a click: the grid takes the focus, the dataset moves to the record (leaving the current one
    // posts its pending change), then the column becomes current.
    if (grid_.CanFocus())
        grid_.SetFocus();
    if (const int current = accessibility::CurrentDataRow(grid_.DataLink()); current >= 0 && current != row)
        grid_.DataSet()->MoveBy(row - current);
    grid_.SelectColumn(col);
}

void TkxGridAccessibleFace::ToggleCell(int row, int col) {
    if (CellCheckState(row, col) == NoCheckBox)
        return;
    FocusCell(row, col);
    int r = -1, c = -1;
    if (!CurrentCell(r, c) || r != row || c != col)
        return;
    // Space on the cell, with every rule of the key.
    Word key = VK_SPACE;
    grid_.DispatchKeyDown(key, {});
}

IAccessibleTable* TkxCustomDBGrid::AccessibleTable() {
    if (!accessible_)
        accessible_ = std::make_unique<TkxGridAccessibleFace>(*this);
    return accessible_.get();
}
