#pragma once
// The one-line editor a grid lays over its current cell. It is filled from the grid (edit text, edit
// mask, length limit), reports every change of its text back to the grid, and hands the grid the keys
// that navigate: Tab, Escape, the page keys and Up and Down always, Home, End, Left and Right when the
// grid keeps its editor shown and the caret is at that end of the text (or Ctrl is held).
#include "ui/Edit.h"

class TCustomGrid;

class TInplaceEdit : public TCustomEdit {
    MORVANE_CLASS(TInplaceEdit, TCustomEdit)
public:
    explicit TInplaceEdit(TCustomGrid* grid);

    TCustomGrid* Grid() const { return grid_; }
    const AnsiString& EditMask() const { return editMask_; }
    void SetEditMask(const AnsiString& v) { editMask_ = v; }

    // Fills the editor for the grid's current cell: mask, text (all selected) and length limit.
    virtual void UpdateContents();
    // Places the editor over a cell rectangle and shows it, focused when the grid has the focus.
    virtual void Move(const TRect& r);
    int DialogCode() const override;

    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    void KeyUp(Word& key, TShiftState shift) override;
    void WMSetFocus() override;

protected:
    // A composition may show while the grid lets the cell change.
    bool AcceptsComposition() override;
    void Change() override;
    void DoEnter() override;
    void DoExit() override;
    // A line feed goes into a wrapped editor only when the grid lets the cell change.
    void DefaultChar(char key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    TCustomGrid* grid_;
    void keyPress(char& key);
    AnsiString editMask_;
    long long focusTime_ = -1;
    bool trailDue_ = false;  // the last byte was the lead byte of a double-byte character
    bool leadTaken_ = false; // and it was let through
};
