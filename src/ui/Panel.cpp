#include "ui/Panel.h"

void TPanel::DefineProperties(ClassInfo& info) {
    info.Add("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter);
    info.Add("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner);
    info.Add("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth);
    info.Add("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth);
    info.Add("Alignment", &TPanel::Alignment, &TPanel::SetAlignment);
}

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    SetColor(clBtnFace);
    SetBounds(0, 0, 185, 41);
}

void TPanel::changed() {
    Realign();
    Invalidate();
}

void TPanel::SetBevelOuter(TPanelBevel v) { bevelOuter_ = v, changed(); }
void TPanel::SetBevelInner(TPanelBevel v) { bevelInner_ = v, changed(); }
void TPanel::SetBevelWidth(int v) { bevelWidth_ = std::max(v, 1), changed(); }
void TPanel::SetBorderWidth(int v) { borderWidth_ = std::max(v, 0), changed(); }
void TPanel::SetAlignment(TAlignment v) { alignment_ = v, Invalidate(); }

void TPanel::AdjustClientRect(TRect& r) const {
    int inset = borderWidth_;
    if (bevelOuter_ != bvNone)
        inset += bevelWidth_;
    if (bevelInner_ != bvNone)
        inset += bevelWidth_;
    r = InflateRect(r, -inset, -inset);
}

void TPanel::Paint() {
    TCanvas& c = *Canvas();
    TRect r = ClientRect();
    auto bevel = [&](TPanelBevel b) {
        if (b == bvNone)
            return;
        c.Frame3D(r, b == bvRaised ? clBtnHighlight : clBtnShadow, b == bvRaised ? clBtnShadow : clBtnHighlight,
                  bevelWidth_);
        r = InflateRect(r, -bevelWidth_, -bevelWidth_);
    };
    bevel(bevelOuter_);
    r = InflateRect(r, -borderWidth_, -borderWidth_);
    bevel(bevelInner_);
    c.Brush()->SetColor(Color());
    c.FillRect(r);
    if (!Caption().empty()) {
        c.Brush()->SetStyle(bsClear);
        c.SetFont(*Font());
        unsigned align = alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
        c.DrawText(Caption(), r, DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER | align);
    }
}
