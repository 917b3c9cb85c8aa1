#pragma once
// The screen: its size and resolution, and the mouse pointer shown over the whole application
// (the hourglass while the program is busy).
#include "core/AnsiString.h"

using TCursor = int;
enum : int {
    crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6, crSizeNS = -7,
    crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
    crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19,
    crHelp = -20, crHandPoint = -21, crSizeAll = -22
};

class TScreen {
public:
    // Logical pixels per inch of the primary screen; 96 before the application exists.
    int PixelsPerInch() const;
    // Tests and the start of the program may fix the resolution (0 goes back to the screen's own).
    void SetPixelsPerInch(int ppi) { ppiOverride_ = ppi; }
    int Width() const;
    int Height() const;
    // The pointer shown over every window; crDefault lets each control show its own.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

private:
    int ppiOverride_ = 0;
    TCursor cursor_ = crDefault;
};

TScreen& Screen();
