#pragma once
// TDBGridAccessibleFace: what the framework's data grid (the bill lines) tells assistive technology
// (IAccessibleTable): every record of its dataset as a row, its columns under their titles. Cells of
// records in the grid's record window are read from the link's buffer as painting reads them; other
// records are not read (that would move the dataset) and answer empty. The grid has no check boxes.
#include "ui/Accessible.h"

class TDBGrid;

class TDBGridAccessibleFace : public IAccessibleTable {
public:
    explicit TDBGridAccessibleFace(TDBGrid& grid) : grid_(grid) {}

    int RowCount() override;
    int ColumnCount() override;
    AnsiString ColumnTitle(int col) override;
    AnsiString CellText(int row, int col) override;
    CheckState CellCheckState(int, int) override { return NoCheckBox; }
    TRect CellBounds(int row, int col) override;
    bool CurrentCell(int& row, int& col) override;
    void FocusCell(int row, int col) override;
    void ToggleCell(int, int) override {}

private:
    TDBGrid& grid_;
};
