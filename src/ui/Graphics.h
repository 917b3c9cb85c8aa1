#pragma once
// Plain graphics types of the window framework: points, rectangles, colours with the system colours,
// the drawing tools (font, brush, pen), text-output flags, raster operations and system metrics.
// Nothing here names a Qt type, so the grid and the application use them without Qt headers.
#include "core/Component.h"
#include "data/Field.h"  // TAlignment, shared with fields

#include <cstdint>
#include <functional>
#include <initializer_list>

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

// A half-open rectangle: Right and Bottom are the first pixel outside it.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    bool operator==(const TRect&) const = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const TSize&) const = default;
};

// A point between pixels, for shapes described in fractions of a pixel (a glyph's outline): pixel
// (x, y) covers [x, x + 1) by [y, y + 1), its centre at (x + 0.5, y + 0.5).
struct TPointF {
    double X = 0;
    double Y = 0;
};

inline TPoint Point(int x, int y) { return {x, y}; }
inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }
// The common part of two rectangles; an empty rectangle when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);
// The smallest rectangle holding both; an empty one adds nothing.
TRect UnionRect(const TRect& a, const TRect& b);
TRect OffsetRect(const TRect& r, int dx, int dy);
TRect InflateRect(const TRect& r, int dx, int dy);
// a * b / c rounded to the nearest whole number, as positions are scaled.
int MulDiv(int a, int b, int c);

// ---- colours ----
// A colour holds red in the low byte, green in the next and blue in the third (stored 16500631 is
// red 151, green 199, blue 251). A system colour is tagged with 0xFF in the high byte and carries
// the index of the system colour; ColorToRGB resolves it.
using TColor = int32_t;

constexpr TColor RGB(int r, int g, int b) { return TColor(r & 255) | TColor(g & 255) << 8 | TColor(b & 255) << 16; }
constexpr int GetRValue(TColor c) { return c & 255; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 255; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 255; }

constexpr TColor SysColor(int index) { return TColor(0xFF000000u | unsigned(index)); }

enum : int {
    COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3, COLOR_MENU = 4,
    COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12, COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20, COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23, COLOR_INFOBK = 24
};

constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SysColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SysColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SysColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SysColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SysColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SysColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SysColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SysColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SysColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SysColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SysColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SysColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SysColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SysColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SysColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SysColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SysColor(COLOR_INFOBK);

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clMaroon = RGB(128, 0, 0);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clOlive = RGB(128, 128, 0);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clPurple = RGB(128, 0, 128);
constexpr TColor clTeal = RGB(0, 128, 128);
constexpr TColor clGray = RGB(128, 128, 128);
constexpr TColor clSilver = RGB(192, 192, 192);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clLime = RGB(0, 255, 0);
constexpr TColor clYellow = RGB(255, 255, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clFuchsia = RGB(255, 0, 255);
constexpr TColor clAqua = RGB(0, 255, 255);
constexpr TColor clWhite = RGB(255, 255, 255);
// Marks an optional colour as not set; clDefault asks for the control's own default.
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The red-green-blue value of a colour; system colours resolve to this platform's fixed scheme.
// clNone and clDefault resolve to black.
TColor ColorToRGB(TColor color);
// The system colour of an index (COLOR_...).
TColor GetSysColor(int index);

// ---- text output flags ----
enum : unsigned {
    DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100, DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800, DT_EDITCONTROL = 0x2000, DT_END_ELLIPSIS = 0x8000
};

// ---- raster operations: the result bit per (pattern, source, destination) bit in bits 16..23 ----
enum : uint32_t {
    SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
    SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6, MERGECOPY = 0x00C000CA,
    MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049,
    DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062
};
using TCopyMode = uint32_t;
// One 24-bit pixel through a raster operation; the pattern is the brush colour.
uint32_t ApplyRop(TCopyMode rop, uint32_t pattern, uint32_t source, uint32_t dest);

// ---- system metrics ----
enum : int {
    SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CXBORDER = 5,
    SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11,
    SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21,
    SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37, SM_CXEDGE = 45, SM_CYEDGE = 46,
    SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CXDRAG = 68, SM_CYDRAG = 69
};
int GetSystemMetrics(int index);
// Milliseconds within which a second press counts as a double click.
int GetDoubleClickTime();
// The mouse pointer's position on the screen.
TPoint GetCursorPos();

// ---- drawing tools ----
// A set of up to 32 members of an enumeration; Bits() is the stored value.
template <typename E> class TSmallSet {
public:
    constexpr TSmallSet() = default;
    constexpr TSmallSet(std::initializer_list<E> members) {
        for (E m : members)
            bits_ |= 1u << unsigned(m);
    }
    static constexpr TSmallSet FromBits(uint32_t bits) { TSmallSet s; s.bits_ = bits; return s; }
    constexpr uint32_t Bits() const { return bits_; }
    constexpr bool Contains(E m) const { return bits_ & (1u << unsigned(m)); }
    constexpr bool Empty() const { return bits_ == 0; }
    TSmallSet& Include(E m) { return bits_ |= 1u << unsigned(m), *this; }
    TSmallSet& Exclude(E m) { return bits_ &= ~(1u << unsigned(m)), *this; }
    constexpr TSmallSet operator+(TSmallSet o) const { return FromBits(bits_ | o.bits_); }
    constexpr TSmallSet operator-(TSmallSet o) const { return FromBits(bits_ & ~o.bits_); }
    constexpr TSmallSet operator*(TSmallSet o) const { return FromBits(bits_ & o.bits_); }
    constexpr bool operator==(const TSmallSet&) const = default;

private:
    uint32_t bits_ = 0;
};

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSmallSet<TFontStyle>;
enum TFontCharset : int { DEFAULT_CHARSET = 1, ANSI_CHARSET = 0, CHINESEBIG5_CHARSET = 136 };

// A tool tells its owner through OnChange when one of its values changes.
class TGraphicsObject : public TPersistent {
    MORVANE_CLASS(TGraphicsObject, TPersistent)
public:
    std::function<void(TGraphicsObject*)> OnChange;

protected:
    void Changed() {
        if (OnChange)
            OnChange(this);
    }
};

// Height is the character height in pixels (cell height without internal leading); a negative stored
// height means the same as its absolute value.
class TFont : public TGraphicsObject {
    MORVANE_CLASS_PROPS(TFont, TGraphicsObject)
public:
    TFont() = default;
    TFont(const TFont& other) : TGraphicsObject() { Assign(other); }
    TFont& operator=(const TFont& other) { return Assign(other), *this; }
    void Assign(const TFont& other);
    bool SameAs(const TFont& other) const;

    const AnsiString& Name() const { return name_; }
    void SetName(const AnsiString& v);
    int Height() const { return height_; }
    void SetHeight(int v);
    // Points at the screen's pixels per inch.
    int Size() const;
    void SetSize(int points);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles v);
    int Charset() const { return charset_; }
    void SetCharset(int v);

private:
    AnsiString name_ = "MS Sans Serif";
    int height_ = 13;
    TColor color_ = clWindowText;
    TFontStyles style_;
    int charset_ = DEFAULT_CHARSET;
};

enum TBrushStyle { bsSolid, bsClear };
class TBrush : public TGraphicsObject {
    MORVANE_CLASS_PROPS(TBrush, TGraphicsObject)
public:
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle v);
    void Assign(const TBrush& other) { color_ = other.color_, style_ = other.style_, Changed(); }

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

// psDot draws every other pixel. pmNot inverts the pixels under the pen, pmXor combines them with the
// pen colour.
enum TPenStyle { psSolid, psDot, psClear };
enum TPenMode { pmCopy, pmNot, pmXor };
class TPen : public TGraphicsObject {
    MORVANE_CLASS_PROPS(TPen, TGraphicsObject)
public:
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    int Width() const { return width_; }
    void SetWidth(int v);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle v);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode v);
    void Assign(const TPen& other) { color_ = other.color_, width_ = other.width_, style_ = other.style_, mode_ = other.mode_, Changed(); }

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};
