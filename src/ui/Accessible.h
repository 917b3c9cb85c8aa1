#pragma once
// What the window's painted controls tell assistive technology (a screen reader on the desktop's
// accessibility bus), without Qt: a control that paints a table answers IAccessibleTable, and the
// framework's adapter (AccessibleBridge.cpp) serves it to Qt's accessibility layer as a table of
// cells. Edits, labels and buttons need nothing here: the adapter reads them from the controls.
//
// Cost: nothing of this runs unless a client listens. Qt asks for the accessible objects only once
// an assistive technology has switched accessibility on; until then every notification below is one
// test of a flag.
#include "core/AnsiString.h"
#include "ui/Graphics.h"

class TDataLink;
class TWinControl;

// A table of data rows under a row of column titles. Rows count from 0 over the whole list (every
// record of the dataset), not only the rows on the screen; columns are the data columns in the
// order shown, 0-based.
class IAccessibleTable {
public:
    enum CheckState { NoCheckBox = -1, Unchecked = 0, Checked = 1 };
    virtual ~IAccessibleTable() = default;

    virtual int RowCount() = 0;
    virtual int ColumnCount() = 0;
    virtual AnsiString ColumnTitle(int col) = 0;
    // The text the cell shows. A record outside the control's record window is not read (reading it
    // would move the dataset): its cells answer empty.
    virtual AnsiString CellText(int row, int col) = 0;
    // Whether the cell is a check box, and its state.
    virtual CheckState CellCheckState(int row, int col) = 0;
    // Where the cell is in the control's client area; empty when it is not on the screen.
    virtual TRect CellBounds(int row, int col) = 0;
    // The current cell; false when there is none (an inactive or empty list).
    virtual bool CurrentCell(int& row, int& col) = 0;
    // Makes the cell current as a click on it would (the record first, then the column).
    virtual void FocusCell(int row, int col) = 0;
    // Toggles a check-box cell as Space on it does, after making it current; the keyboard's rules
    // apply (a read-only column refuses, leaving a record posts its pending change).
    virtual void ToggleCell(int row, int col) = 0;
};

namespace accessibility {
// A client listens (Qt's accessibility is active).
bool Listening();
// The control's table may have changed: its number of rows, its current cell, or the check boxes of
// the current row. The adapter compares with what it last told the client and announces the
// difference (rows added or removed, the focus on the new current cell, a box ticked or unticked).
void TableChanged(TWinControl* control);
// Registers the adapter with Qt's accessibility layer (once, at start; costs nothing until a client
// listens).
void InstallFactory();

// Where data row `row` lies in a data link's record window: its position in the window, or -1 when
// the record is outside it (or the dataset does not number its records, or inserts one).
int RecordWindowPosition(const TDataLink& link, int row);
// The data row of the link's current record; -1 when there is none.
int CurrentDataRow(const TDataLink& link);
} // namespace accessibility
