#pragma once
// A speed button: a windowless push button that never takes the keyboard focus. It is raised (not
// flat), shows its glyph left of its caption with both centred together and Spacing (4) pixels
// between; glyph pixels of the transparent colour (the bottom-left pixel's) show the button face;
// the disabled look is an embossed shape derived from the glyph.
#include "ui/Bitmap.h"
#include "ui/GraphicControl.h"

class TSpeedButton : public TGraphicControl {
    MORVANE_CLASS_PROPS(TSpeedButton, TGraphicControl)
public:
    explicit TSpeedButton(TComponent* owner);

    TBitmap* Glyph() { return &glyph_; }
    void SetGlyph(const TBitmap& b);
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    int Spacing() const { return spacing_; }
    void SetSpacing(int v);
    bool Down() const { return down_; }
    void SetDown(bool v);
    // Pressed under the mouse (drawn sunk).
    bool Pressed() const { return pressed_; }

    void Paint(TCanvas& canvas) override;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    TBitmap glyph_;
    bool flat_ = false;
    int spacing_ = 4;
    bool down_ = false;
    bool pressed_ = false;
    bool tracking_ = false;
};
