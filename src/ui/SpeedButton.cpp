#include "ui/SpeedButton.h"

void TSpeedButton::DefineProperties(ClassInfo& info) {
    info.Add("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat);
    info.Add("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing);
    info.Add("Down", &TSpeedButton::Down, &TSpeedButton::SetDown);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 23, 22);
    SetColor(clBtnFace);
}

void TSpeedButton::SetGlyph(const TBitmap& b) {
    glyph_.Assign(b);
    Invalidate();
}

void TSpeedButton::SetFlat(bool v) {
    flat_ = v;
    Invalidate();
}

void TSpeedButton::SetSpacing(int v) {
    spacing_ = v;
    Invalidate();
}

void TSpeedButton::SetDown(bool v) {
    down_ = v;
    Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && Enabled()) {
        tracking_ = true;
        pressed_ = true;
        Repaint();
    }
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (tracking_) {
        bool inside = ClientRect().Contains({x, y});
        if (inside != pressed_) {
            pressed_ = inside;
            Repaint();
        }
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && tracking_) {
        tracking_ = false;
        pressed_ = false;
        Repaint();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::Paint(TCanvas& canvas) {
    const TRect r = ClientRect();
    const bool sunk = pressed_ || down_;
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(r);
    if (!flat_)
        canvas.DrawEdge(r, sunk ? EDGE_SUNKEN : EDGE_RAISED);
    // Glyph and caption are centred together; pressed, both move one pixel right and down.
    const int offset = sunk ? 1 : 0;
    TSize text{0, 0};
    if (!Caption().empty()) {
        TRect calc = Rect(0, 0, r.Width(), 0);
        canvas.DrawText(Caption(), calc, DT_CALCRECT | DT_SINGLELINE);
        text = {calc.Width(), calc.Height()};
    }
    const int gw = glyph_.Width(), gh = glyph_.Height();
    const int spacing = (gw > 0 && text.cx > 0) ? spacing_ : 0;
    const int margin = (r.Width() - (gw + spacing + text.cx)) / 2;
    const int gx = margin + offset, gy = (r.Height() - gh + 1) / 2 + offset;
    if (gw > 0) {
        const TColor transparent = glyph_.TransparentColor();
        if (Enabled()) {
            canvas.BrushCopy(Bounds(gx, gy, gw, gh), glyph_, Rect(0, 0, gw, gh), transparent);
        } else {
            // Every pixel that is not of the transparent colour becomes part of the shape: highlight
            // one pixel down and right, shadow over it.
            for (int pass = 0; pass < 2; ++pass) {
                TColor c = pass == 0 ? clBtnHighlight : clBtnShadow;
                int d = pass == 0 ? 1 : 0;
                for (int y = 0; y < gh; ++y)
                    for (int x = 0; x < gw; ++x)
                        if (glyph_.Pixel(x, y) != transparent)
                            canvas.SetPixels(gx + x + d, gy + y + d, c);
            }
        }
    }
    if (text.cx > 0) {
        TRect tr = Bounds(gx + gw + spacing, (r.Height() - text.cy + 1) / 2 + offset, text.cx, text.cy);
        canvas.Brush()->SetStyle(bsClear);
        if (Enabled()) {
            canvas.DrawText(Caption(), tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        } else {
            TRect shifted = OffsetRect(tr, 1, 1);
            canvas.Font()->SetColor(clBtnHighlight);
            canvas.DrawText(Caption(), shifted, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            canvas.Font()->SetColor(clBtnShadow);
            canvas.DrawText(Caption(), tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
}
