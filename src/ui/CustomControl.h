#pragma once
// A window control that paints itself: Paint draws the client area through a canvas (the background
// is already filled with Color). Canvas() is the painting canvas while painting, otherwise a canvas
// for measuring text in the control's font.
#include "ui/Canvas.h"
#include "ui/WinControl.h"

class TCustomControl : public TWinControl {
    MORVANE_CLASS(TCustomControl, TWinControl)
public:
    explicit TCustomControl(TComponent* owner);
    TCanvas* Canvas();
    void Paint(TCanvas& canvas) override;

protected:
    // Paint without arguments, for controls that draw on Canvas().
    virtual void Paint() {}

private:
    TCanvas measure_{nullptr};
    TCanvas* painting_ = nullptr;
};
