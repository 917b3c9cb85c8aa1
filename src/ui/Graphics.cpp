#include "ui/Graphics.h"

#include "ui/Screen.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? TRect() : r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

TRect OffsetRect(const TRect& r, int dx, int dy) { return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }

TRect InflateRect(const TRect& r, int dx, int dy) { return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy}; }

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    int64_t p = int64_t(a) * b;
    int64_t half = std::abs(int64_t(c)) / 2;
    int64_t q = ((p < 0) != (c < 0)) ? (p - (c < 0 ? -half : half)) / c : (p + (c < 0 ? -half : half)) / c;
    return int(q);
}

TColor GetSysColor(int index) {
    // The classic scheme of the platform the window was designed on.
    static const TColor scheme[] = {
        RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
        RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
        RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225)};
    if (index < 0 || index >= int(std::size(scheme)))
        return clBlack;
    return scheme[index];
}

TColor ColorToRGB(TColor color) {
    if (color == clNone || color == clDefault)
        return clBlack;
    if ((uint32_t(color) & 0xFF000000u) == 0xFF000000u)
        return GetSysColor(color & 0xFF);
    return color & 0xFFFFFF;
}

uint32_t ApplyRop(TCopyMode rop, uint32_t p, uint32_t s, uint32_t d) {
    // Each set bit of the operation's code names one combination of pattern, source and destination
    // bits that gives a 1; the result is the union of those combinations, bit by bit.
    unsigned code = (rop >> 16) & 0xFF;
    uint32_t out = 0;
    for (unsigned i = 0; i < 8; ++i)
        if (code & (1u << i))
            out |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return out & 0xFFFFFF;
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return Screen().Width();
    case SM_CYSCREEN:
        return Screen().Height();
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 17;
    case SM_CYCAPTION:
        return 26;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return 20;
    default:
        return 0;
    }
}

TPoint GetCursorPos() {
    if (!qApp)
        return {};
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

int GetDoubleClickTime() {
    if (qApp)
        return QApplication::doubleClickInterval();
    return 500;
}

// ---- tools ----

void TFont::DefineProperties(ClassInfo& info) {
    info.Add("Name", &TFont::Name, &TFont::SetName);
    info.Add("Height", &TFont::Height, &TFont::SetHeight);
    info.Add("Size", &TFont::Size, &TFont::SetSize);
    info.Add("Color", &TFont::Color, &TFont::SetColor);
    info.Add("Charset", &TFont::Charset, &TFont::SetCharset);
}

void TFont::Assign(const TFont& other) {
    if (SameAs(other))
        return;
    name_ = other.name_;
    height_ = other.height_;
    color_ = other.color_;
    style_ = other.style_;
    charset_ = other.charset_;
    Changed();
}

bool TFont::SameAs(const TFont& o) const {
    return name_ == o.name_ && height_ == o.height_ && color_ == o.color_ && style_ == o.style_ &&
           charset_ == o.charset_;
}

void TFont::SetName(const AnsiString& v) {
    if (v != name_)
        name_ = v, Changed();
}

void TFont::SetHeight(int v) {
    v = std::abs(v);
    if (v != height_)
        height_ = v, Changed();
}

int TFont::Size() const { return MulDiv(height_, 72, Screen().PixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(MulDiv(points, Screen().PixelsPerInch(), 72)); }

void TFont::SetColor(TColor v) {
    if (v != color_)
        color_ = v, Changed();
}

void TFont::SetStyle(TFontStyles v) {
    if (!(v == style_))
        style_ = v, Changed();
}

void TFont::SetCharset(int v) {
    if (v != charset_)
        charset_ = v, Changed();
}

void TBrush::DefineProperties(ClassInfo& info) {
    info.Add("Color", &TBrush::Color, &TBrush::SetColor);
    info.Add("Style", &TBrush::Style, &TBrush::SetStyle);
}

void TBrush::SetColor(TColor v) {
    if (v != color_ || style_ == bsClear) {
        color_ = v;
        style_ = bsSolid;
        Changed();
    }
}

void TBrush::SetStyle(TBrushStyle v) {
    if (v != style_)
        style_ = v, Changed();
}

void TPen::DefineProperties(ClassInfo& info) {
    info.Add("Color", &TPen::Color, &TPen::SetColor);
    info.Add("Width", &TPen::Width, &TPen::SetWidth);
    info.Add("Style", &TPen::Style, &TPen::SetStyle);
    info.Add("Mode", &TPen::Mode, &TPen::SetMode);
}

void TPen::SetColor(TColor v) {
    if (v != color_)
        color_ = v, Changed();
}

void TPen::SetWidth(int v) {
    v = std::max(v, 1);
    if (v != width_)
        width_ = v, Changed();
}

void TPen::SetStyle(TPenStyle v) {
    if (v != style_)
        style_ = v, Changed();
}

void TPen::SetMode(TPenMode v) {
    if (v != mode_)
        mode_ = v, Changed();
}
