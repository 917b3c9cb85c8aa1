#include "UiTest.h"

#include "core/Exception.h"
#include "ui/Bitmap.h"
#include "ui/Canvas.h"
#include "ui/Form.h"
#include "ui/Panel.h"
#include "ui/SpeedButton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {
// A white bitmap of the given size.
std::unique_ptr<TBitmap> blank(int w, int h, TColor fill = clWhite) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(fill);
    b->Canvas()->FillRect(Rect(0, 0, w, h));
    return b;
}

// The columns of a row (or rows of a column) that are not white.
std::string inkRow(TBitmap& b, int y) {
    std::string s;
    for (int x = 0; x < b.Width(); ++x)
        s += b.Pixel(x, y) == clWhite ? '.' : '#';
    return s;
}

// The 24-bit file image of a picture given as rows of colours, top row first.
std::string bmpBytes(const std::vector<std::vector<TColor>>& rows) {
    const int h = int(rows.size()), w = int(rows[0].size());
    const int stride = (w * 3 + 3) / 4 * 4;
    std::string b(54 + size_t(stride * h), '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = char((v >> (8 * i)) & 255);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor c = rows[size_t(h - 1 - y)][size_t(x)];  // bottom-up
            size_t at = 54 + size_t(y * stride + x * 3);
            b[at] = char(GetBValue(c));
            b[at + 1] = char(GetGValue(c));
            b[at + 2] = char(GetRValue(c));
        }
    return b;
}
} // namespace

TEST(Canvas, LinesEndBeforeTheirEndPointAndRectanglesAreHalfOpen) {
    StartApplication();
    auto b = blank(10, 10);
    TCanvas& c = *b->Canvas();
    c.Pen()->SetColor(clBlack);
    c.MoveTo(1, 0);
    c.LineTo(6, 0);
    EXPECT_EQ(inkRow(*b, 0), ".#####....");
    c.MoveTo(0, 2);
    c.LineTo(3, 5);  // diagonal: (0,2) (1,3) (2,4), not (3,5)
    EXPECT_EQ(inkRow(*b, 4), "..#.......");
    EXPECT_EQ(inkRow(*b, 5), "..........");
    c.MoveTo(5, 5);
    c.LineTo(5, 5);  // no length, no pixel
    EXPECT_EQ(b->Pixel(5, 5), clWhite);
    EXPECT_EQ(c.PenPos(), Point(5, 5));

    auto r = blank(10, 10);
    TCanvas& rc = *r->Canvas();
    rc.Brush()->SetColor(clRed);
    rc.Rectangle(2, 2, 7, 6);  // outline on x 2..6, y 2..5; red inside
    EXPECT_EQ(inkRow(*r, 2), "..#####...");
    EXPECT_EQ(r->Pixel(6, 4), clBlack);
    EXPECT_EQ(r->Pixel(3, 3), clRed);
    EXPECT_EQ(r->Pixel(7, 4), clWhite);
    EXPECT_EQ(r->Pixel(4, 6), clWhite);
    rc.Brush()->SetColor(clBlue);
    rc.FillRect(Rect(0, 8, 3, 10));
    EXPECT_EQ(inkRow(*r, 8), "###.......");
    EXPECT_EQ(r->Pixel(3, 9), clWhite);
    rc.Brush()->SetColor(clGreen);
    rc.FrameRect(Rect(7, 0, 10, 3));
    EXPECT_EQ(r->Pixel(8, 1), clWhite);
    EXPECT_EQ(r->Pixel(9, 2), clGreen);
    rc.Brush()->SetStyle(bsClear);
    rc.FillRect(Rect(0, 0, 10, 10));  // a clear brush fills nothing
    EXPECT_EQ(r->Pixel(0, 0), clWhite);

    // Frame3D: the light edge top-left, the dark edge bottom-right, the corners to the dark edge.
    auto f = blank(6, 6);
    f->Canvas()->Frame3D(Rect(0, 0, 6, 6), clWhite, clBlack, 1);
    f->Canvas()->Frame3D(Rect(0, 0, 6, 6), clRed, clBlue, 1);
    EXPECT_EQ(f->Pixel(0, 0), clRed);
    EXPECT_EQ(f->Pixel(5, 0), clBlue);
    EXPECT_EQ(f->Pixel(0, 5), clBlue);
    EXPECT_EQ(f->Pixel(5, 5), clBlue);
    EXPECT_EQ(f->Pixel(1, 1), clWhite);
}

TEST(Canvas, FocusRectangleInvertsEveryOtherPixelAndTwiceRemovesIt) {
    StartApplication();
    auto b = blank(8, 6);
    TCanvas& c = *b->Canvas();
    c.DrawFocusRect(Rect(1, 1, 7, 5));
    EXPECT_EQ(inkRow(*b, 1), ".#.#.#..");  // where x + y is even
    EXPECT_EQ(inkRow(*b, 2), "......#.");
    EXPECT_EQ(b->Pixel(1, 2), clWhite);
    EXPECT_EQ(inkRow(*b, 4), "..#.#.#.");
    EXPECT_EQ(b->Pixel(1, 1), clBlack);  // white inverted
    c.DrawFocusRect(Rect(1, 1, 7, 5));
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(inkRow(*b, y), "........");
}

TEST(Canvas, TextIsMeasuredInTheMingFaceClippedAndEndsInAnEllipsis) {
    StartApplication();
    auto b = blank(80, 40);
    TCanvas& c = *b->Canvas();
    c.Font()->SetName(Ansi("細明體"));
    c.Font()->SetHeight(15);
    EXPECT_EQ(c.TextWidth("0"), 8);
    EXPECT_EQ(c.TextHeight("0"), 15);
    EXPECT_EQ(c.TextWidth("BILL_DATE"), 72);

    // Calculating: one line per break, lines at word boundaries, rectangle fitted to the text.
    TRect calc = Rect(0, 0, 40, 0);
    EXPECT_EQ(c.DrawText("00 00 00", calc, DT_CALCRECT | DT_WORDBREAK), 30);
    EXPECT_EQ(calc, Rect(0, 0, 40, 30));
    calc = Rect(0, 0, 100, 0);
    c.DrawText("0\t0", calc, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
    EXPECT_EQ(calc.Width(), 9 * 8);
    calc = Rect(0, 0, 100, 0);
    c.DrawText("a&&b&c", calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.Width(), c.TextWidth("a&bc"));
    calc = Rect(0, 0, 100, 0);
    c.DrawText("a&b", calc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(calc.Width(), c.TextWidth("a&b"));

    // Drawn text stays inside its rectangle; a long text ends in "..." within it.
    c.Brush()->SetStyle(bsClear);
    TRect r = Rect(5, 5, 53, 20);  // room for six cells of 8 pixels
    c.DrawText("000000000000", r, DT_SINGLELINE | DT_END_ELLIPSIS);
    int rightmost = -1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x)
            if (b->Pixel(x, y) != clWhite) {
                EXPECT_TRUE(r.Contains({x, y})) << x << "," << y;
                rightmost = std::max(rightmost, x);
            }
    EXPECT_GE(rightmost, 45);  // the dots reach the right part of the box
    auto dots = blank(80, 40);
    dots->Canvas()->Font()->Assign(*c.Font());
    TRect same = r;
    dots->Canvas()->Brush()->SetStyle(bsClear);
    dots->Canvas()->DrawText("000...", same, DT_SINGLELINE);
    for (int y = 0; y < 40; ++y)
        EXPECT_EQ(inkRow(*b, y), inkRow(*dots, y));

    // Right alignment and vertical centring of a single line.
    auto a = blank(60, 40);
    a->Canvas()->Font()->Assign(*c.Font());
    TRect box = Rect(0, 0, 60, 40);
    a->Canvas()->DrawText("0", box, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    int minX = 60, minY = 40, maxY = -1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (a->Pixel(x, y) != clWhite)
                minX = std::min(minX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    EXPECT_GE(minX, 52);
    EXPECT_GE(minY, 12);
    EXPECT_LT(maxY, 12 + 15);
}

TEST(Canvas, ClipRegionsAndExcludedRectangles) {
    StartApplication();
    auto b = blank(10, 4);
    TCanvas& c = *b->Canvas();
    c.SetClipRect(Rect(1, 0, 9, 4));
    c.ExcludeClipRect(Rect(4, 0, 6, 4));
    c.Brush()->SetColor(clBlack);
    c.FillRect(Rect(0, 0, 10, 4));
    c.SetPixels(5, 1, clBlack);  // single pixels obey the clip too
    EXPECT_EQ(inkRow(*b, 1), ".###..###.");
    EXPECT_EQ(c.ClipRect(), Rect(1, 0, 9, 4));
    c.SaveClip();
    c.IntersectClipRect(Rect(0, 0, 2, 4));
    c.Brush()->SetColor(clRed);
    c.FillRect(Rect(0, 0, 10, 4));
    EXPECT_EQ(b->Pixel(1, 0), clRed);
    EXPECT_EQ(b->Pixel(2, 0), clBlack);
    c.RestoreClip();
    c.ResetClip();
    c.SetOrigin({2, 1});  // a child's corner: its (0, 0) is (2, 1) on the target
    c.SetPixels(0, 0, clBlue);
    EXPECT_EQ(b->Pixel(2, 1), clBlue);
}

TEST(Bitmap, LoadsUncompressedBitmapsAndRejectsOthers) {
    StartApplication();
    TBitmap b;
    b.LoadFromBytes(bmpBytes({{clRed, clGreen, clBlue}, {clWhite, clBlack, RGB(1, 2, 3)}}));
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Pixel(0, 0), clRed);
    EXPECT_EQ(b.Pixel(2, 0), clBlue);
    EXPECT_EQ(b.Pixel(2, 1), RGB(1, 2, 3));
    EXPECT_EQ(b.TransparentColor(), clWhite);  // the bottom-left pixel

    std::string bytes = bmpBytes({{clRed}});
    for (auto [at, value] : std::vector<std::pair<size_t, char>>{{0, 'X'}, {28, 8}, {30, 1}, {10, 100}}) {
        std::string bad = bytes;
        bad[at] = value;
        EXPECT_THROW(b.LoadFromBytes(bad), EInvalidGraphic) << at;
    }
    EXPECT_THROW(b.LoadFromBytes(bytes.substr(0, bytes.size() - 2)), EInvalidGraphic);
    try {
        b.LoadFromBytes("BM");
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Bitmap image is not valid");
    }
}

TEST(Canvas, RasterOperationsGiveExactPixels) {
    StartApplication();
    const TColor S = RGB(0xF0, 0x3C, 0xA5), D = RGB(0xCC, 0x55, 0x0F), P = RGB(0xAA, 0x0F, 0x66);
    auto src = blank(2, 2, S);
    const struct {
        TCopyMode rop;
        uint32_t (*expect)(uint32_t p, uint32_t s, uint32_t d);
    } cases[] = {
        {SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
        {SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
        {SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
        {SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
        {NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
        {NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
        {MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
        {MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
        {PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
        {PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
        {PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
        {DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
        {BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
        {WHITENESS, [](uint32_t, uint32_t, uint32_t) { return 0xFFFFFFu; }},
    };
    for (const auto& k : cases) {
        auto dst = blank(4, 2, D);
        TCanvas& c = *dst->Canvas();
        c.Brush()->SetColor(P);
        c.SetCopyMode(k.rop);
        c.CopyRect(Rect(1, 0, 3, 2), *src->Canvas(), Rect(0, 0, 2, 2));
        TColor want = TColor(k.expect(uint32_t(P), uint32_t(S), uint32_t(D)) & 0xFFFFFF);
        EXPECT_EQ(dst->Pixel(1, 1), want) << std::hex << k.rop;
        EXPECT_EQ(dst->Pixel(0, 0), D) << std::hex << k.rop;  // outside the target rectangle
        EXPECT_EQ(dst->Pixel(3, 1), D) << std::hex << k.rop;
    }

    // Stretching doubles pixels; a transparent picture leaves its transparent colour's pixels out.
    TBitmap glyph;
    glyph.LoadFromBytes(bmpBytes({{clRed, clWhite}, {clWhite, clBlue}}));
    glyph.SetTransparent(true);
    auto dst = blank(6, 4, clGreen);
    dst->Canvas()->StretchDraw(Rect(0, 0, 4, 4), glyph);
    EXPECT_EQ(dst->Pixel(1, 1), clRed);
    EXPECT_EQ(dst->Pixel(3, 0), clGreen);
    EXPECT_EQ(dst->Pixel(0, 3), clGreen);
    EXPECT_EQ(dst->Pixel(3, 3), clBlue);
    EXPECT_EQ(dst->Pixel(4, 0), clGreen);
    dst->Canvas()->BrushCopy(Bounds(4, 0, 2, 2), glyph, Rect(0, 0, 2, 2), clRed);
    EXPECT_EQ(dst->Pixel(4, 0), clGreen);
    EXPECT_EQ(dst->Pixel(5, 0), clWhite);
}

TEST(Canvas, CheckBoxesAndHeaderItemsInBothLooks) {
    StartApplication();
    auto draw = [](auto&& paint) {
        auto b = blank(13, 13, clRed);
        paint(*b->Canvas());
        return b;
    };
    auto unchecked = draw([](TCanvas& c) { c.DrawFrameControlCheck(Rect(0, 0, 13, 13), 0); });
    auto checked = draw([](TCanvas& c) { c.DrawFrameControlCheck(Rect(0, 0, 13, 13), DFCS_CHECKED); });
    auto inactive = draw([](TCanvas& c) { c.DrawFrameControlCheck(Rect(0, 0, 13, 13), DFCS_CHECKED | DFCS_INACTIVE); });
    auto flat = draw([](TCanvas& c) { c.DrawFrameControlCheck(Rect(0, 0, 13, 13), DFCS_FLAT); });
    EXPECT_EQ(unchecked->Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(unchecked->Pixel(12, 12), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(unchecked->Pixel(1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(unchecked->Pixel(6, 6), clWhite);
    EXPECT_EQ(checked->Pixel(4, 6), clBlack);  // the mark's stroke
    EXPECT_EQ(inactive->Pixel(4, 6), ColorToRGB(clGrayText));
    EXPECT_EQ(inactive->Pixel(4, 4), ColorToRGB(clBtnFace));
    EXPECT_EQ(flat->Pixel(1, 1), clWhite);
    EXPECT_EQ(flat->Pixel(0, 6), ColorToRGB(clBtnShadow));

    auto themed = [&](TThemedCheckBox s) { return draw([s](TCanvas& c) { c.DrawThemedCheckBox(Rect(0, 0, 13, 13), s); }); };
    auto differ = [](TBitmap& a, TBitmap& b) {
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x)
                if (a.Pixel(x, y) != b.Pixel(x, y))
                    return true;
        return false;
    };
    auto off = themed(CBS_UNCHECKEDNORMAL), on = themed(CBS_CHECKEDNORMAL), offDis = themed(CBS_UNCHECKEDDISABLED);
    EXPECT_TRUE(differ(*off, *on));
    EXPECT_TRUE(differ(*off, *offDis));
    auto header = [&](TThemedHeader s) {
        auto b = blank(40, 18, clRed);
        b->Canvas()->Brush()->SetColor(clBtnFace); // the face of the fixed cells around it
        b->Canvas()->DrawThemedHeaderItem(Rect(0, 0, 40, 18), s);
        return b;
    };
    auto normal = header(HIS_NORMAL), hot = header(HIS_HOT), pressed = header(HIS_PRESSED);
    EXPECT_TRUE(differ(*normal, *pressed));
    EXPECT_EQ(normal->Pixel(20, 9), ColorToRGB(clBtnFace));
    (void)hot;
}

TEST(Controls, PanelBevelAndSpeedButtonGlyphPlacement) {
    StartApplication();
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(16500631), RGB(151, 199, 251));
    EXPECT_EQ(ColorToRGB(clNone), clBlack);

    auto form = std::make_unique<TForm>(Application);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 120, 40);
    auto* button = new TSpeedButton(form.get());
    button->SetParent(panel);
    button->SetBounds(10, 3, 83, 33);
    button->Font()->SetName(Ansi("細明體"));
    button->Font()->SetHeight(15);
    button->SetCaption(Ansi("確定"));
    // A 5 x 5 glyph: white corners (transparent), a black centre.
    std::vector<std::vector<TColor>> rows(5, std::vector<TColor>(5, clRed));
    rows[0][0] = rows[0][4] = rows[4][0] = rows[4][4] = clWhite;
    rows[2][2] = clBlack;
    button->Glyph()->LoadFromBytes(bmpBytes(rows));

    TBitmap shot;
    panel->PaintTo(shot);
    EXPECT_EQ(shot.Pixel(0, 0), clWhite);                       // raised bevel: highlight
    EXPECT_EQ(shot.Pixel(119, 39), ColorToRGB(clBtnShadow));  // and shadow
    EXPECT_EQ(shot.Pixel(5, 20), ColorToRGB(clBtnFace));

    TCanvas measure(nullptr);
    measure.SetFont(*button->Font());
    const int textW = measure.TextWidth(Ansi("確定"));
    const int left = 10 + (83 - (5 + 4 + textW)) / 2, top = 3 + (33 - 5 + 1) / 2;
    EXPECT_EQ(shot.Pixel(left + 2, top + 2), clBlack);
    EXPECT_EQ(shot.Pixel(left + 1, top), clRed);
    EXPECT_EQ(shot.Pixel(left, top), ColorToRGB(clBtnFace));  // transparent corner shows the face
    EXPECT_EQ(shot.Pixel(left - 1, top + 2), ColorToRGB(clBtnFace));
    // The caption starts 4 pixels after the glyph: nothing is drawn in the gap.
    for (int x = left + 5; x < left + 9; ++x)
        for (int y = 6; y < 33; ++y)
            EXPECT_EQ(shot.Pixel(x, y), ColorToRGB(clBtnFace)) << x << "," << y;

    // Disabled: the glyph becomes an embossed shape, no red left.
    button->SetEnabled(false);
    panel->PaintTo(shot);
    EXPECT_EQ(shot.Pixel(left + 2, top + 2), ColorToRGB(clBtnShadow));
    EXPECT_EQ(shot.Pixel(left + 5, top + 4), clWhite);  // the highlight copy, one pixel right and down
    EXPECT_EQ(shot.Pixel(left, top), ColorToRGB(clBtnFace));
}

TEST(Canvas, UnderlinedAndStruckOutFontsDrawTheirLines) {
    StartApplication();
    // A line of ink as wide as the text: none in plain "0000", one with either style.
    auto fullRows = [](TFontStyles style) {
        auto b = blank(60, 20);
        TCanvas& c = *b->Canvas();
        c.Font()->SetName(Ansi("細明體"));
        c.Font()->SetHeight(15);
        c.Font()->SetStyle(style);
        c.Brush()->SetStyle(bsClear);
        c.TextOut(2, 2, "0000");
        int rows = 0;
        for (int y = 0; y < 20; ++y) {
            const std::string ink = inkRow(*b, y);
            rows += std::count(ink.begin(), ink.end(), '#') >= 30;
        }
        return rows;
    };
    EXPECT_EQ(fullRows({}), 0);
    EXPECT_GE(fullRows({TFontStyle::fsUnderline}), 1);
    EXPECT_GE(fullRows({TFontStyle::fsStrikeOut}), 1);
}
