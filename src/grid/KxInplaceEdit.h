#pragma once
// TkxInplaceEdit: the selection grid's in-place cell editor, on the framework's TInplaceEdit. It is
// filled from the current field (its edit text, length limit and mask), wraps long text when the
// grid's dgWordWrap says so, sits over the current cell, checks typed characters against the field's
// picture mask, turns Enter into Tab with dgEnterToTab and hands the navigation keys to the grid. The
// text reaches the field only through the grid's transfer (KxGridEditing.cpp).
//
// Costs: a keystroke matches the text against the picture mask at most twice (linear in the text);
// a fill reads the field once.
#include "grid/support/KxPictureInput.h"
#include "ui/InplaceEdit.h"

class TkxCustomDBGrid;

class TkxInplaceEdit : public TInplaceEdit {
    MORVANE_CLASS(TkxInplaceEdit, TInplaceEdit)
public:
    explicit TkxInplaceEdit(TkxCustomDBGrid* grid);

    TkxCustomDBGrid* DBGrid() const { return grid_; }
    // The current column's picture mask, looked up when the editor gains the focus.
    const TkxDBPicture& Picture() const { return picture_; }
    TkxDBPicture& Picture() { return picture_; }
    // A mask applies: the column's use-mask flag is set and its mask is not empty.
    bool UsePicture() const { return usePicture_; }
    void SetUsePicture(bool v) { usePicture_ = v; }

    void UpdateContents() override;
    // Places the editor at a cell's rectangle: a fixed data column's editor stays clear of its
    // column line.
    void SetBounds(int left, int top, int width, int height) override;
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    void KeyUp(Word& key, TShiftState shift) override;
    // A paste counts as typing: the dataset enters edit state.
    void PasteFromClipboard() override;
    void WMSetFocus() override;
    // Fires the grid's OnCheckValue (when assigned) with the picture check of a text: empty, no mask
    // or a complete match passes.
    void CheckValue(const AnsiString& text);

protected:
    void FontChanged() override;

private:
    // A typed character (one or two bytes) under the mask; answers whether it goes in as typed.
    bool maskKeystroke(std::string_view ch);

    TkxCustomDBGrid* grid_;
    TkxDBPicture picture_;
    bool usePicture_ = false;
    char maskLead_ = 0; // lead byte held back until its trail byte completes the character
};
