#pragma once
// TkxGridAccessibleFace: what the selection grid tells assistive technology (IAccessibleTable,
// ui/Accessible.h). Rows are the dataset's records, all of them; columns the data columns as shown.
// A cell of a record in the grid's record window is read from the link's buffer, as painting reads
// it; a record outside the window is not read (that would move the dataset) and answers empty. The
// grid makes the face the first time a client asks and keeps it; nothing is cached here.
//
// Costs: the row count is the dataset's record count; a cell costs one field's display text.
#include "ui/Accessible.h"

class TkxCustomDBGrid;

class TkxGridAccessibleFace : public IAccessibleTable {
public:
    explicit TkxGridAccessibleFace(TkxCustomDBGrid& grid) : grid_(grid) {}

    int RowCount() override;
    int ColumnCount() override;
    AnsiString ColumnTitle(int col) override;
    AnsiString CellText(int row, int col) override;
    CheckState CellCheckState(int row, int col) override;
    TRect CellBounds(int row, int col) override;
    bool CurrentCell(int& row, int& col) override;
    void FocusCell(int row, int col) override;
    void ToggleCell(int row, int col) override;

private:
    TkxCustomDBGrid& grid_;
};
