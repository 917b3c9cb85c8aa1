#include "ui/DBGridAccessible.h"

#include "data/DataLink.h"
#include "data/Field.h"
#include "ui/DBGrid.h"

int TDBGridAccessibleFace::RowCount() {
    TDataSet* ds = grid_.DataSet();
    if (!grid_.dataLink().Active() || !ds)
        return 0;
    const int n = ds->RecordCount();
    return n >= 0 ? n : grid_.dataLink().RecordCount();
}

int TDBGridAccessibleFace::ColumnCount() { return grid_.dataLink().Active() ? grid_.Columns().Count() : 0; }

AnsiString TDBGridAccessibleFace::ColumnTitle(int col) {
    TColumn* c = col >= 0 && col < ColumnCount() ? grid_.Columns()[col] : nullptr;
    return c ? c->TitleCaption() : AnsiString();
}

AnsiString TDBGridAccessibleFace::CellText(int row, int col) {
    const int k = accessibility::RecordWindowPosition(grid_.dataLink(), row);
    TColumn* c = col >= 0 && col < ColumnCount() ? grid_.Columns()[col] : nullptr;
    TField* f = c ? c->Field() : nullptr;
    if (k < 0 || !f)
        return {};
    TActiveRecordScope record(grid_.dataLink(), k);
    return f->DisplayText();
}

TRect TDBGridAccessibleFace::CellBounds(int row, int col) {
    const int k = accessibility::RecordWindowPosition(grid_.dataLink(), row);
    if (k < 0 || col < 0 || col >= ColumnCount())
        return {};
    return grid_.CellRect(col + grid_.indicatorOffset(), k + grid_.titleOffset());
}

bool TDBGridAccessibleFace::CurrentCell(int& row, int& col) {
    row = accessibility::CurrentDataRow(grid_.dataLink());
    col = grid_.Col() - grid_.indicatorOffset();
    return row >= 0 && col >= 0 && col < ColumnCount();
}

void TDBGridAccessibleFace::FocusCell(int row, int col) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColumnCount())
        return;
    if (grid_.CanFocus())
        grid_.SetFocus();
    if (const int current = accessibility::CurrentDataRow(grid_.dataLink()); current >= 0 && current != row)
        grid_.DataSet()->MoveBy(row - current);
    grid_.SetCol(col + grid_.indicatorOffset());
}

IAccessibleTable* TDBGrid::AccessibleTable() {
    if (!accessible_)
        accessible_ = std::make_unique<TDBGridAccessibleFace>(*this);
    return accessible_.get();
}
