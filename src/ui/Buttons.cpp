// Push buttons drawn by the framework; the standard glyphs come from the platform style's icons.
#include "ui/Buttons.h"

#include "ui/Canvas.h"
#include "ui/Form.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

void TButton::DefineProperties(ClassInfo& info) {
    info.Add("ModalResult", &TButton::ModalResult, &TButton::SetModalResult);
    info.Add("Cancel", &TButton::Cancel, &TButton::SetCancel);
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 75, 25);
    SetColor(clBtnFace);
    SetTabStop(true);
}

void TButton::Click() {
    TWinControl::Click();
    if (modalResult_ != mrNone && !Destroying())
        if (TForm* form = GetParentForm()) form->SetModalResult(modalResult_);
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && Enabled()) {
        if (CanFocus() && !Focused()) SetFocus();
        tracking_ = true;
        pressed_ = true;
        Invalidate();
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
    if (tracking_ && ClientRect().Contains({x, y}) != pressed_) {
        pressed_ = !pressed_;
        Invalidate();
    }
    TWinControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && tracking_) {
        tracking_ = false;
        pressed_ = false;
        Invalidate();
    }
    TWinControl::MouseUp(button, shift, x, y);
}

void TButton::KeyDown(Word& key, TShiftState shift) {
    TWinControl::KeyDown(key, shift);
    if (key == VK_RETURN && shift.Empty()) {
        key = 0;
        Click();
    }
}

void TButton::DefaultChar(char key) {
    if (key == ' ') Click();
}

void TButton::WMSetFocus() {
    TWinControl::WMSetFocus();
    Invalidate();
}

void TButton::WMKillFocus() {
    TWinControl::WMKillFocus();
    Invalidate();
}

TSize TButton::CaptionSize(TCanvas& canvas) const {
    if (Caption().empty()) return {0, 0};
    TRect calc = Rect(0, 0, Width(), 0);
    canvas.DrawText(Caption(), calc, DT_CALCRECT | DT_SINGLELINE);
    return {calc.Width(), calc.Height()};
}

void TButton::PaintCaption(TCanvas& canvas, const TRect& r) const {
    canvas.Brush()->SetStyle(bsClear);
    const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (Enabled()) {
        TRect t = r;
        canvas.DrawText(Caption(), t, flags);
        return;
    }
    // The disabled look: the caption embossed, highlight one pixel down and right under the shadow.
    TRect shifted = OffsetRect(r, 1, 1);
    canvas.Font()->SetColor(clBtnHighlight);
    canvas.DrawText(Caption(), shifted, flags);
    TRect t = r;
    canvas.Font()->SetColor(clBtnShadow);
    canvas.DrawText(Caption(), t, flags);
}

void TButton::PaintContent(TCanvas& canvas, const TRect& face, int offset) {
    const TSize text = CaptionSize(canvas);
    const TRect r = Bounds(face.Left + (face.Width() - text.cx) / 2 + offset,
                           face.Top + (face.Height() - text.cy + 1) / 2 + offset, text.cx, text.cy);
    PaintCaption(canvas, r);
}

void TButton::Paint(TCanvas& canvas) {
    const TRect r = ClientRect();
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(r);
    canvas.DrawEdge(r, pressed_ ? EDGE_SUNKEN : EDGE_RAISED);
    PaintContent(canvas, InflateRect(r, -2, -2), pressed_ ? 1 : 0);
    if (Focused()) {
        canvas.Brush()->SetStyle(bsSolid);
        canvas.DrawFocusRect(InflateRect(r, -4, -4));
    }
}

// ---- bitmap buttons ----

void TBitBtn::DefineProperties(ClassInfo& info) {
    info.Add("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs);
    info.Add("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin);
    info.Add("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing);
    info.Add("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout);
    info.Add("Kind", &TBitBtn::Kind, &TBitBtn::SetKind);
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetGlyph(const TBitmap& b) {
    glyph_.Assign(b);
    Invalidate();
}

void TBitBtn::SetNumGlyphs(int v) {
    numGlyphs_ = std::clamp(v, 1, 4);
    Invalidate();
}

void TBitBtn::SetMargin(int v) {
    margin_ = std::max(v, -1);
    Invalidate();
}

void TBitBtn::SetSpacing(int v) {
    spacing_ = std::max(v, -1);
    Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout v) {
    layout_ = v;
    Invalidate();
}

void TBitBtn::SetKind(TBitBtnKind v) {
    kind_ = v;
    if (v != bkCustom) {
        LoadStandardGlyph(glyph_, v, 2);
        numGlyphs_ = 2;
    }
    Invalidate();
}

void TBitBtn::PaintContent(TCanvas& canvas, const TRect& face, int offset) {
    const int gw = glyph_.Empty() ? 0 : glyph_.Width() / numGlyphs_, gh = glyph_.Height();
    const TSize text = CaptionSize(canvas);
    const int both = gw > 0 && text.cx > 0;
    // Glyph position from the left (or, laid out right, from the right) of the face, then the caption.
    int margin = margin_, spacing = spacing_;
    if (margin < 0) {
        const int gap = spacing < 0 ? (face.Width() - gw - text.cx) / 3 : (both ? spacing : 0);
        margin = (face.Width() - gw - gap - text.cx) / 2;
        spacing = gap;
    } else if (spacing < 0) {
        spacing = (face.Width() - margin - gw - text.cx) / 2;
    }
    if (!both) spacing = 0;
    const int gy = face.Top + (face.Height() - gh + 1) / 2 + offset;
    const int ty = face.Top + (face.Height() - text.cy + 1) / 2 + offset;
    int gx, tx;
    if (layout_ == blGlyphLeft) {
        gx = face.Left + margin;
        tx = gx + gw + spacing;
    } else {
        gx = face.Right - margin - gw;
        tx = gx - spacing - text.cx;
    }
    gx += offset;
    tx += layout_ == blGlyphLeft ? 0 : offset;
    if (gw > 0) {
        // The disabled image when the glyph has one, else the up image.
        const int image = !Enabled() && numGlyphs_ > 1 ? 1 : 0;
        canvas.BrushCopy(Bounds(gx, gy, gw, gh), glyph_, Bounds(image * gw, 0, gw, gh),
                         glyph_.TransparentColor());
    }
    if (text.cx > 0) PaintCaption(canvas, Bounds(tx, ty, text.cx, text.cy));
}

void LoadStandardGlyph(TBitmap& glyph, TBitBtnKind kind, int images) {
    QStyle::StandardPixmap which;
    switch (kind) {
    case bkOK:
        which = QStyle::SP_DialogOkButton;
        break;
    case bkCancel:
        which = QStyle::SP_DialogCancelButton;
        break;
    case bkHelp:
        which = QStyle::SP_DialogHelpButton;
        break;
    default:
        glyph.SetSize(0, 0);
        return;
    }
    constexpr int size = 16;
    // A colour no icon pixel is expected to have marks what the button face shows through.
    const TColor key = RGB(0, 128, 128);
    images = std::clamp(images, 1, 2);
    glyph.SetDevicePixelRatio(1);
    glyph.SetSize(size * images, size);
    const QIcon icon = QApplication::style()->standardIcon(which);
    QImage& image = glyph.Image();
    image.fill(QColor(GetRValue(key), GetGValue(key), GetBValue(key)));
    QPainter p(&image);
    for (int i = 0; i < images; ++i)
        p.drawPixmap(i * size, 0,
                     icon.pixmap(QSize(size, size), 1.0, i == 0 ? QIcon::Normal : QIcon::Disabled));
    p.end();
    glyph.SetTransparentColor(key);
    glyph.SetTransparent(true);
}
