#pragma once
// Push buttons with a window of their own: TButton (a caption, a modal result that closes its modal
// form, and the Cancel mark that makes Escape on the form press it) and TBitBtn (a TButton with a
// glyph beside the caption; a glyph holds NumGlyphs images side by side: up, then disabled). Both are
// drawn by the framework, raised, sunk while pressed under the mouse, with a focus rectangle while
// focused. A click comes from a press and release over the button, Space, or Enter while it has the
// focus.
#include "ui/Bitmap.h"
#include "ui/WinControl.h"

class TButton : public TWinControl {
    MORVANE_CLASS_PROPS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);

    // Clicking a button with a modal result other than mrNone gives its form that result.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int v) { modalResult_ = v; }
    // Escape anywhere on the form presses the form's visible, enabled cancel button.
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    // Pressed under the mouse (drawn sunk).
    bool Pressed() const { return pressed_; }

    void Click() override;
    void Paint(TCanvas& canvas) override;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(Word& key, TShiftState shift) override;
    void DefaultChar(char key) override;
    void TextChanged() override { Invalidate(); }
    void WMSetFocus() override;
    void WMKillFocus() override;
    // Draws glyph and caption inside the face; `offset` is 1 while the button is pressed.
    virtual void PaintContent(TCanvas& canvas, const TRect& face, int offset);
    // The caption's size in the button's font ("&" marks an accelerator and takes no room).
    TSize CaptionSize(TCanvas& canvas) const;
    void PaintCaption(TCanvas& canvas, const TRect& r) const;

private:
    int modalResult_ = 0;
    bool cancel_ = false;
    bool pressed_ = false;
    bool tracking_ = false;
};

enum TButtonLayout { blGlyphLeft, blGlyphRight };
// The standard glyphs a bitmap button offers.
enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp };

class TBitBtn : public TButton {
    MORVANE_CLASS_PROPS(TBitBtn, TButton)
public:
    explicit TBitBtn(TComponent* owner);

    TBitmap* Glyph() { return &glyph_; }
    void SetGlyph(const TBitmap& b);
    // Images in the glyph, side by side (1 to 4): up, disabled, and two the button does not use here.
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int v);
    // Pixels from the edge to the glyph; -1 centres glyph and caption together.
    int Margin() const { return margin_; }
    void SetMargin(int v);
    // Pixels between glyph and caption; -1 centres the caption in the room beside the glyph.
    int Spacing() const { return spacing_; }
    void SetSpacing(int v);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout v);
    // Setting a kind other than bkCustom loads that kind's standard glyph (two images: up and
    // disabled); caption and modal result stay as they are.
    TBitBtnKind Kind() const { return kind_; }
    void SetKind(TBitBtnKind v);

protected:
    void PaintContent(TCanvas& canvas, const TRect& face, int offset) override;

private:
    TBitmap glyph_;
    int numGlyphs_ = 1;
    int margin_ = -1;
    int spacing_ = 4;
    TButtonLayout layout_ = blGlyphLeft;
    TBitBtnKind kind_ = bkCustom;
};

// Makes the standard glyph of a kind: `images` images of 16 by 16 pixels side by side (the second
// the disabled look), on a transparent colour of their own. Empty for bkCustom.
void LoadStandardGlyph(TBitmap& glyph, TBitBtnKind kind, int images);
