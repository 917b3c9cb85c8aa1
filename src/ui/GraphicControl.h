#pragma once
// A control without a window: its parent paints it (Paint with the parent's canvas moved to the
// control's corner and clipped to it) and passes it the mouse. It never takes the keyboard focus.
#include "ui/Canvas.h"
#include "ui/Control.h"

class TGraphicControl : public TControl {
    MORVANE_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
};
