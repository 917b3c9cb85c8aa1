// Cell and title painting over real customers: check boxes in both looks, the current cell's
// highlight and focus, titles of two lines, empty and short datasets, cut text, the indicator glyphs.
#include "grid/KxGridGlyphs.h"
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"
#include "grid/support/KxIntl.h"
#include "ui/ImageList.h"
#include "ui/ScreenPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

namespace {
// The window's grid with a focus flag a test can set (the mouse and keys set it in the program).
struct FocusGrid : TkxDBGrid {
    using TkxDBGrid::TkxDBGrid;
    void SetFocusFlag(bool v) {
        gridFocused_ = v;
        Invalidate();
    }
};

FocusGrid* useFocusGrid(GridHarness& h) {
    const TRect bounds = h.grid->BoundsRect();
    delete h.grid;
    auto* g = new FocusGrid(h.form);
    g->SetName("Grid");
    g->SetParent(h.form);
    g->SetBoundsRect(bounds);
    h.grid = g;
    return g;
}

// Writes a tick value into the in-memory rows (the window's persistent field is writable; the
// statement's constant column comes read-only).
void setSelect(GridHarness& h, int recNo, const char* value) {
    h.Field("SELECT_YN")->SetReadOnly(false);
    h.cds->SetRecNo(recNo);
    h.cds->Edit();
    h.Field("SELECT_YN")->SetAsString(value);
    h.cds->Post();
}

// The 13 by 13 square of the check box of a cell.
TRect checkSquare(TkxCustomDBGrid* g, int col, int row) {
    const TRect r = g->CellRect(col, row);
    const int left = (r.Left + r.Right - 10) / 2, top = (r.Top + r.Bottom - 10) / 2;
    return Rect(left - 1, top - 1, left + 12, top + 12);
}
} // namespace

TEST(CellPaint, CheckBoxesShowYesInAnyCaseAndNothingElse) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    const char* values[] = {"Y", "y", "N", "", "X"};
    for (int i = 0; i < 5; ++i)
        setSelect(h, i + 1, values[i]);
    h.cds->First();
    GridPicture themed(g, "checkboxes-themed");
    // The box's inside, without its frame.
    auto inside = [&](const GridPicture& p, int row) {
        const TRect s = checkSquare(g, 1, row);
        return p.Ink(Rect(s.Left + 2, s.Top + 2, s.Right - 2, s.Bottom - 2));
    };
    EXPECT_GT(inside(themed, 1), 8);
    EXPECT_GT(inside(themed, 2), 8);
    for (int row = 3; row <= 5; ++row)
        EXPECT_EQ(inside(themed, row), 0) << "row " << row;
    // Outside its 13-pixel square a check-box cell holds no ink.
    const TRect cell = g->CellRect(1, 3), s = checkSquare(g, 1, 3);
    EXPECT_EQ(themed.Ink(cell) - themed.Ink(s), 0);

    // The classic look: the same answers from the platform's check-box frame.
    g->SetDisableThemes(true);
    GridPicture classic(g, "checkboxes-classic");
    EXPECT_GT(inside(classic, 1), 8);
    EXPECT_GT(inside(classic, 2), 8);
    EXPECT_EQ(inside(classic, 3), 0);
    EXPECT_EQ(inside(classic, 4), 0);
    EXPECT_EQ(inside(classic, 5), 0);
    // Its sunken frame: grey and dark lines at the top left, white at the bottom right.
    const TRect sq = checkSquare(g, 1, 3);
    EXPECT_EQ(classic.At(sq.Left, sq.Top + 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(classic.At(sq.Left + 1, sq.Top + 5), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(classic.At(sq.Right - 1, sq.Top + 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(classic.At(sq.Left + 6, sq.Top + 6), ColorToRGB(clWindow));
}

TEST(CellPaint, ReadOnlyCheckBoxColumnDrawsDisabledBoxesInBothLooks) {
    GridHarness h(CustomersDb(3));
    TStringList list = WindowColumnList();
    list.SetStrings(0, Ansi("SELECT_YN\t4\t選擇\tT\t"));
    h.grid->SetSelected(list);
    h.ShowLikeTheWindow();
    h.grid->SetSelected(list);
    h.grid->ApplyColumnList();
    TkxDBGrid* g = h.grid;
    ASSERT_TRUE(g->ColumnAt(0).ReadOnly());
    setSelect(h, 1, "Y");
    h.cds->First();
    GridPicture disabled(g, "checkboxes-disabled");
    g->SetSelected(WindowColumnList());
    g->ApplyColumnList();
    ASSERT_FALSE(g->ColumnAt(0).ReadOnly());
    GridPicture enabled(g, "checkboxes-enabled");
    // Themed: the disabled box is drawn in other colours, checked or not.
    for (int row : {1, 2}) {
        const TRect s = checkSquare(g, 1, row);
        int differ = 0;
        for (int y = s.Top; y < s.Bottom; ++y)
            for (int x = s.Left; x < s.Right; ++x)
                differ += disabled.At(x, y) != enabled.At(x, y);
        EXPECT_GT(differ, 20) << "row " << row;
    }
    // Classic: the box's inside is the button face instead of the window colour; the mark is grey.
    g->SetDisableThemes(true);
    g->SetSelected(list);
    g->ApplyColumnList();
    GridPicture classic(g, "checkboxes-disabled-classic");
    const TRect s = checkSquare(g, 1, 2);
    EXPECT_EQ(classic.At(s.Left + 3, s.Top + 3), ColorToRGB(clBtnFace));
    const TRect c = checkSquare(g, 1, 1);
    EXPECT_GT(classic.CountColor(Rect(c.Left + 2, c.Top + 2, c.Right - 2, c.Bottom - 2), clGrayText), 8);
    EXPECT_EQ(classic.CountColor(Rect(c.Left + 2, c.Top + 2, c.Right - 2, c.Bottom - 2), clWindowText), 0);
}

TEST(CellPaint, ClassicXMarkIsSixStrokesInTheEmptyBox) {
    GridHarness h(CustomersDb(3));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    setSelect(h, 2, "Y");
    kxProcessIntl->SetCheckBoxInGridStyle(cbStyleXmark);
    GridPicture p(g, "xmark");
    kxProcessIntl->SetCheckBoxInGridStyle(cbStyleAuto);
    // The box of the checked row: the strokes (each from its first point up to its second).
    const TRect sq = checkSquare(g, 1, 2);
    const int L = sq.Left + 1, T = sq.Top + 1, R = L + 10, B = T + 10;
    std::set<std::pair<int, int>> mark;
    const int strokes[6][4] = {{R - 2, T + 2, L + 1, B - 1}, {R - 3, T + 2, L + 1, B - 2},
                               {R - 2, T + 3, L + 2, B - 1}, {L + 2, T + 2, R - 1, B - 1},
                               {L + 3, T + 2, R - 1, B - 2}, {L + 2, T + 3, R - 2, B - 1}};
    for (const auto& s : strokes) {
        const int n = std::max(std::abs(s[2] - s[0]), std::abs(s[3] - s[1]));
        for (int i = 0; i < n; ++i)
            mark.insert({s[0] + (s[2] - s[0]) * i / n, s[1] + (s[3] - s[1]) * i / n});
    }
    for (auto [x, y] : mark)
        EXPECT_EQ(p.At(x, y), clBlack) << x << "," << y;
    // Inside the frame everything else is the window colour.
    int others = 0;
    for (int y = sq.Top + 2; y < sq.Bottom - 2; ++y)
        for (int x = sq.Left + 2; x < sq.Right - 2; ++x)
            if (!mark.count({x, y})) others += p.At(x, y) != ColorToRGB(clWindow);
    EXPECT_EQ(others, 0);
    // The unchecked box is the empty classic box, in the themed grid too.
    const TRect empty = checkSquare(g, 1, 1);
    EXPECT_TRUE(p.All(Rect(empty.Left + 2, empty.Top + 2, empty.Right - 2, empty.Bottom - 2), clWindow));
    EXPECT_EQ(p.At(empty.Left, empty.Top + 5), ColorToRGB(clBtnShadow));
}

TEST(CellPaint, CurrentCellHighlightFollowsTheFocusUnlessAlwaysShown) {
    GridHarness h(CustomersDb(5));
    FocusGrid* g = useFocusGrid(h);
    h.ShowLikeTheWindow();
    g->SelectColumn(1); // CUST_ID
    ASSERT_EQ(g->Col(), 2);
    ASSERT_EQ(g->Row(), 1);
    const TRect cell = g->CellRect(2, 1), other = g->CellRect(3, 1);
    const TRect inside = InflateRect(cell, -1, -1);
    const TColor hl = ColorToRGB(clHighlight), inverted = RGB(255 - 10, 255 - 36, 255 - 106);
    auto background = [&](const GridPicture& p, const TRect& r) {
        return p.At(r.Right - 4, r.Top + r.Height() / 2);
    };

    g->SetFocusFlag(true);
    GridPicture focused(g, "current-focused");
    EXPECT_EQ(background(focused, cell), hl);
    EXPECT_GT(focused.CountColor(inside, clHighlightText), 10); // the text in white
    EXPECT_EQ(focused.Count(inside, [&](TColor c) { return IsInk(c) && c != hl; }), 0);
    EXPECT_EQ(background(focused, other), ColorToRGB(clWindow));
    // The focus rectangle: the highlight outline with every other pixel inverted.
    int dots = 0, plain = 0;
    for (int x = cell.Left; x < cell.Right; ++x) {
        const TColor c = focused.At(x, cell.Top);
        dots += c == inverted;
        plain += c == hl;
    }
    EXPECT_EQ(dots + plain, cell.Width());
    EXPECT_NEAR(dots, cell.Width() / 2, 1);

    g->SetFocusFlag(false);
    GridPicture unfocused(g, "current-unfocused");
    EXPECT_EQ(background(unfocused, cell), ColorToRGB(clWindow));
    EXPECT_EQ(unfocused.CountColor(cell, clHighlight), 0);
    EXPECT_EQ(unfocused.CountColor(cell, inverted), 0);
    EXPECT_GT(unfocused.Ink(inside), 10); // black text

    g->SetOptions(g->Options() + TkxDBGridOptions{dgAlwaysShowSelection});
    GridPicture always(g, "current-always");
    EXPECT_EQ(background(always, cell), hl);
    EXPECT_GT(always.CountColor(inside, clHighlightText), 10);
    EXPECT_EQ(always.CountColor(cell, inverted), 0); // no focus, no focus rectangle
}

TEST(CellPaint, TitleOfTwoLinesIsCentredAsABlock) {
    GridHarness h(CustomersDb(3));
    TStringList list = WindowColumnList();
    list.SetStrings(1, Ansi("CUST_ID\t8\t客戶~代號\t\t"));
    h.grid->SetTitleLines(2);
    h.grid->SetDisableThemes(true);
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetSelected(list);
    g->ApplyColumnList();
    const int line = h.TextHeight("W", g->TitleFont());
    ASSERT_EQ(g->RowHeights(0), 2 * line + 4);
    const TRect title = g->CellRect(2, 0);
    GridPicture p(g, "title-two-lines");
    // Rows of ink, inside the cell's raised edges.
    std::vector<int> inkRows;
    for (int y = title.Top + 1; y < title.Bottom; ++y)
        if (p.Ink(Rect(title.Left + 1, y, title.Right, y + 1)) > 0) inkRows.push_back(y);
    ASSERT_FALSE(inkRows.empty());
    // DY = cell height / 2 - two lines / 2: the block starts 2 pixels down, the second line one line
    // height below the first, and it ends as far from the bottom as it starts from the top.
    const int dy = title.Height() / 2 - line;
    EXPECT_GE(inkRows.front(), title.Top + dy);
    EXPECT_LE(inkRows.back(), title.Top + dy + 2 * line);
    EXPECT_GT(p.Ink(Rect(title.Left, title.Top + dy, title.Right, title.Top + dy + line)), 20);
    EXPECT_GT(p.Ink(Rect(title.Left, title.Top + dy + line, title.Right, title.Top + dy + 2 * line)), 20);
    // The first line is "客戶" alone: as wide as two characters, not four.
    int right = 0;
    for (int x = title.Left; x < title.Right; ++x)
        if (p.Ink(Rect(x, title.Top + dy, x + 1, title.Top + dy + line)) > 0) right = x;
    EXPECT_LT(right - title.Left, 2 * line + 4);
    // One line per title with TitleLines 1: the "~" breaks nothing into view.
    g->SetTitleLines(1);
    GridPicture one(g, "title-one-line");
    const TRect t1 = g->CellRect(2, 0);
    EXPECT_EQ(one.Ink(Rect(t1.Left, t1.Bottom - 1, t1.Right, t1.Bottom)), 0);
}

TEST(CellPaint, EmptyDatasetDrawsOneEmptyRowAndShortDatasetLeavesThePad) {
    {
        GridHarness h(CustomersDb(0));
        h.ShowLikeTheWindow();
        TkxDBGrid* g = h.grid;
        ASSERT_EQ(g->RowCount(), 2);
        GridPicture p(g, "empty-dataset");
        // The one row: white cells without text or box (the focused grid's current cell highlighted),
        // a silver line under them.
        for (int col = 1; col <= 4; ++col) {
            const TRect r = g->CellRect(col, 1);
            if (col == g->Col()) // inside its focus rectangle
                EXPECT_TRUE(p.All(Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1), clHighlight));
            else
                EXPECT_TRUE(p.All(r, clWindow)) << "column " << col;
            EXPECT_TRUE(p.All(Rect(r.Left, r.Bottom, r.Right, r.Bottom + 1), clSilver)) << "column " << col;
        }
        // Under it the pad, in the title colour.
        const int padTop = g->CellRect(1, 1).Bottom + 1;
        EXPECT_EQ(p.At(100, padTop), ColorToRGB(clBtnHighlight));
        EXPECT_TRUE(p.All(Rect(1, padTop + 1, g->ClientWidth(), g->ClientHeight()), clBtnFace));
    }
    GridHarness h(CustomersDb(3));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(10);
    TkxDBGrid* g = h.grid;
    ASSERT_EQ(h.RowsFor(g->ClientHeight()), 10);
    GridPicture p(g, "three-records");
    const TRect last = g->CellRect(3, 3);
    const TRect lastCol = g->CellRect(4, 1);
    const int padTop = last.Bottom + 1, lastRight = lastCol.Right, w = g->ClientWidth(),
              hgt = g->ClientHeight();
    // Three rows of records.
    for (int row = 1; row <= 3; ++row)
        EXPECT_GT(p.Ink(g->CellRect(2, row)), 20) << "row " << row;
    // One pixel above the pad: black under the indicator, the data line colour under the data.
    EXPECT_EQ(p.At(5, padTop - 1), clBlack);
    EXPECT_EQ(p.At(lastCol.Left + 5, padTop - 1), clSilver);
    // The pad: a light edge on its top and left, then the title colour below and right.
    EXPECT_TRUE(p.All(Rect(0, padTop, lastRight, padTop + 1), clBtnHighlight));
    EXPECT_TRUE(p.All(Rect(0, padTop, 1, hgt), clBtnHighlight));
    EXPECT_TRUE(p.All(Rect(1, padTop + 1, w, hgt), clBtnFace));
    EXPECT_TRUE(p.All(Rect(lastRight + 2, 0, w, padTop), clBtnFace));
    // The data area's right end is raised: black, then light.
    EXPECT_TRUE(p.All(Rect(lastRight, lastCol.Top, lastRight + 1, last.Bottom), clBlack));
    EXPECT_TRUE(p.All(Rect(lastRight + 1, lastCol.Top, lastRight + 2, last.Bottom), clBtnHighlight));
}

namespace {
// The ink of a text drawn into a bitmap as the grid writes a left-aligned cell's text.
std::vector<bool> textInk(const TFont& font, const AnsiString& text, const TRect& cell, unsigned flags) {
    TBitmap b;
    b.SetSize(cell.Width(), cell.Height());
    TCanvas& c = *b.Canvas();
    c.SetFont(font);
    c.Brush()->SetColor(clWhite);
    c.FillRect(Rect(0, 0, cell.Width(), cell.Height()));
    c.Brush()->SetStyle(bsClear);
    TRect r = Rect(2, 2, cell.Width(), cell.Height() - 1);
    c.DrawText(text, r, flags | DT_NOPREFIX | DT_EXPANDTABS);
    std::vector<bool> ink;
    for (int y = 0; y < cell.Height(); ++y)
        for (int x = 0; x < cell.Width(); ++x)
            ink.push_back(IsInk(b.Pixel(x, y)));
    return ink;
}

std::vector<bool> cellInk(const GridPicture& p, const TRect& cell) {
    std::vector<bool> ink;
    for (int y = cell.Top; y < cell.Bottom; ++y)
        for (int x = cell.Left; x < cell.Right; ++x)
            ink.push_back(IsInk(p.At(x, y)));
    return ink;
}
} // namespace

TEST(CellPaint, LongTextIsCutWithAnEllipsisOrWrapsInTallRows) {
    GridHarness h(CustomersDb(3));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    const AnsiString text = "ABCDEFGH IJKLMNOP QRSTUVWX YZ";
    h.Field("CUST_NAME")->SetReadOnly(false);
    h.cds->SetRecNo(2);
    h.cds->Edit();
    h.Field("CUST_NAME")->SetAsString(text);
    h.cds->Post();
    h.cds->First();
    ASSERT_GT(h.TextWidth(text, *g->Font()), g->ColWidths(3));
    auto shot = [&](const char* name) {
        GridPicture p(g, name);
        return cellInk(p, g->CellRect(3, 2));
    };
    const TRect cell = g->CellRect(3, 2);
    const TFont& font = *g->Font();
    // One-line rows: cut at the cell's edge, or ended with "..." with dgTrailingEllipsis.
    EXPECT_EQ(shot("text-cut"), textInk(font, text, cell, 0));
    g->SetOptions(g->Options() + TkxDBGridOptions{dgTrailingEllipsis});
    const std::vector<bool> ellipsis = shot("text-ellipsis");
    EXPECT_EQ(ellipsis, textInk(font, text, cell, DT_END_ELLIPSIS));
    EXPECT_NE(ellipsis, textInk(font, text, cell, 0));
    // Rows of two lines' height: the text wraps onto the second line (the ellipsis is for one line).
    g->SetRowHeightPercent(200);
    const TRect tall = g->CellRect(3, 2);
    ASSERT_GE(tall.Height(), 2 * h.TextHeight("W", font) + 4);
    GridPicture wrapped(g, "text-wrapped");
    const int line = h.TextHeight("W", font);
    EXPECT_GT(wrapped.Ink(Rect(tall.Left, tall.Top + 2 + line, tall.Right, tall.Top + 2 + 2 * line)), 20);
    EXPECT_EQ(cellInk(wrapped, tall), textInk(font, text, tall, DT_WORDBREAK));
    // Without dgWordWrap the tall row keeps one line.
    g->SetOptions(g->Options() - TkxDBGridOptions{dgWordWrap});
    GridPicture oneLine(g, "text-tall-one-line");
    EXPECT_EQ(oneLine.Ink(Rect(tall.Left, tall.Top + 2 + line, tall.Right, tall.Bottom)), 0);
}

TEST(CellPaint, IndicatorShowsTheGlyphOfTheDatasetState) {
    GridHarness h(CustomersDb(3));
    h.grid->SetDisableThemes(true);
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    h.Field("CUST_NAME")->SetReadOnly(false);
    // The glyph's box in the indicator cell of a row, and its black pixels row by row.
    auto glyphRows = [&](const GridPicture& p, int row, TColor color) {
        const TRect r = g->CellRect(0, row);
        const int x0 = (r.Right - kIndicatorGlyphWidth) / 2 + 1;
        const int y0 = (2 * r.Top + g->DefaultRowHeight() - kIndicatorGlyphHeight) / 2;
        std::vector<std::string> rows;
        for (int y = 0; y < kIndicatorGlyphHeight; ++y) {
            std::string s;
            for (int x = 0; x < kIndicatorGlyphWidth; ++x)
                s += p.At(x0 + x, y0 + y) == ColorToRGB(color) ? '#' : '.';
            rows.push_back(s);
        }
        // Nothing of the glyph's colour outside its box.
        EXPECT_EQ(p.CountColor(r, color),
                  p.CountColor(Bounds(x0, y0, kIndicatorGlyphWidth, kIndicatorGlyphHeight), color));
        return rows;
    };
    auto countIn = [](const std::vector<std::string>& rows) {
        int n = 0;
        for (const auto& s : rows)
            n += int(std::count(s.begin(), s.end(), '#'));
        return n;
    };
    // Browse: the solid triangle on the current row, nothing on the others.
    h.cds->SetRecNo(2);
    GridPicture browse(g, "indicator-browse");
    EXPECT_EQ(glyphRows(browse, 2, clBlack),
              (std::vector<std::string>{"#.....", "##....", "###...", "####..", "#####.", "######", "#####.",
                                        "####..", "###...", "##....", "#....."}));
    EXPECT_EQ(countIn(glyphRows(browse, 1, clBlack)), 0);
    // Edit: the I-beam, a 2-pixel stem with serifs.
    h.cds->Edit();
    GridPicture edit(g, "indicator-edit");
    const auto beam = glyphRows(edit, 2, clBlack);
    EXPECT_EQ(beam.front(), "######");
    EXPECT_EQ(beam.back(), "######");
    for (size_t i = 1; i + 1 < beam.size(); ++i)
        EXPECT_EQ(beam[i], "..##..");
    h.cds->Cancel();
    // Insert: the star, 6 by 5 and centred, on the new row.
    h.cds->Insert();
    GridPicture insert(g, "indicator-insert");
    const auto star = glyphRows(insert, g->Row(), clBlack);
    for (int y = 0; y < kIndicatorGlyphHeight; ++y)
        EXPECT_EQ(star[size_t(y)] != "......", y >= 3 && y <= 7) << "row " << y;
    int left = 6, right = -1;
    for (const auto& s : star)
        for (int x = 0; x < 6; ++x)
            if (s[size_t(x)] == '#') left = std::min(left, x), right = std::max(right, x);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 5);
    h.cds->Cancel();
    // The icon colour replaces black.
    g->SetIndicatorIconColor(clRed);
    GridPicture red(g, "indicator-red");
    EXPECT_EQ(countIn(glyphRows(red, g->Row(), clRed)), 36);
    EXPECT_EQ(countIn(glyphRows(red, g->Row(), clBlack)), 0);
    g->SetIndicatorColor(icYellow);
    EXPECT_EQ(g->IndicatorIconColor(), clYellow);
}

TEST(CellPaint, OneFieldChangeRepaintsOneCellAndBothStylesDrawTheSamePicture) {
    GridHarness h(CustomersDb(5));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    std::set<std::pair<int, int>> drawn;
    g->OnBeforeDrawCell = [&](TkxCustomDBGrid*, TkxCustomDrawGridCellInfo* info) {
        drawn.insert({info->DataCol, info->DataRow});
    };
    GridPicture direct(g, "style-direct");
    drawn.clear();
    // The current record's name changes: its cell alone is painted, with the title above it and the
    // cell below it, which draw the row lines it shares with them.
    h.Field("CUST_NAME")->SetReadOnly(false);
    h.cds->Edit();
    h.Field("CUST_NAME")->SetAsString("X");
    DeliverPaints();
    drawn.clear();
    h.Field("CUST_NAME")->SetAsString("Y");
    DeliverPaints();
    EXPECT_EQ(drawn, (std::set<std::pair<int, int>>{{2, -1}, {2, 0}, {2, 1}}));
    EXPECT_EQ(StalePixels(g), 0);
    h.cds->Cancel();
    GridPicture before(g, "style-before");
    // The bitmap style draws every cell into its picture and shows the same.
    kxProcessIntl->SetGridPaintStyle(gpsBitmapCanvas);
    g->Invalidate();
    drawn.clear();
    GridPicture bitmap(g, "style-bitmap");
    g->InvalidateCell(3, 2);
    drawn.clear();
    DeliverPaints();
    kxProcessIntl->SetGridPaintStyle(gpsDynamicDeviceContext);
    EXPECT_EQ(drawn.size(), size_t(5 * 6)); // the title row and five rows, indicator included
    int differ = 0;
    for (int y = 0; y < g->ClientHeight(); ++y)
        for (int x = 0; x < g->ClientWidth(); ++x)
            differ += bitmap.At(x, y) != before.At(x, y);
    EXPECT_EQ(differ, 0);
}

namespace {
// Dark pixels of a text drawn alone, on one line, in a font.
int inkOf(const TFont& font, const AnsiString& text) {
    TBitmap b;
    b.SetSize(200, 40);
    TCanvas& c = *b.Canvas();
    c.SetFont(font);
    c.Brush()->SetColor(clWhite);
    c.FillRect(Rect(0, 0, 200, 40));
    c.Brush()->SetStyle(bsClear);
    TRect r = Rect(0, 0, 200, 40);
    c.DrawText(text, r, DT_SINGLELINE | DT_NOPREFIX);
    int n = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            n += IsInk(b.Pixel(x, y));
    return n;
}

// Contrast ratio of two colours (relative luminance, as the accessibility guidelines count it).
double contrastOf(TColor a, TColor b) {
    auto lum = [](TColor c) {
        auto ch = [](int v) {
            const double x = v / 255.0;
            return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        c = ColorToRGB(c);
        return 0.2126 * ch(GetRValue(c)) + 0.7152 * ch(GetGValue(c)) + 0.0722 * ch(GetBValue(c));
    };
    const double la = lum(a), lb = lum(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

TEST(CellPaint, TitlesAndGroupNamesKeepBig5CharactersEndingInTilde) {
    // 品, 年, 外, 才 and 居 end in the byte "~": each stays whole, in one title line or in two.
    GridHarness h(CustomersDb(3));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    struct Case {
        int lines;
        const char* title;
        const char* group;
        std::vector<const char*> shown; // the title's lines and the group's name
    };
    // (A group's band takes the upper half of the title row: two title lines' height.)
    for (const Case& k : {Case{1, "品名", "", {"品名"}}, Case{2, "品名", "外幣", {"品名", "外幣"}},
                          Case{2, "年度~才居", "", {"年度", "才居"}}}) {
        TStringList list = WindowColumnList();
        list.SetStrings(1, Ansi(std::string("CUST_ID\t8\t") + k.title + "\t\t" + k.group));
        g->SetTitleLines(k.lines);
        g->SetSelected(list);
        g->ApplyColumnList();
        GridPicture p(g, "big5-titles");
        int expected = 0;
        for (const char* s : k.shown)
            expected += inkOf(g->TitleFont(), Ansi(s));
        EXPECT_EQ(p.Ink(g->CellRect(2, 0)), expected) << k.title;
    }
}

TEST(CellPaint, PictureAndImageCellsTakeMissingParametersAndColourByTheirOwnRecord) {
    // A 2 x 2 red picture in a blob, a null image number, beside the tick.
    std::string bmp(70, '\0');
    const unsigned char head[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24};
    std::copy(std::begin(head), std::end(head), bmp.begin());
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x)
            bmp[size_t(54 + row * 8 + x * 3 + 2)] = char(255);
    std::string hex;
    for (unsigned char ch : bmp)
        hex += "0123456789ABCDEF"[ch >> 4], hex += "0123456789ABCDEF"[ch & 15];
    GridHarness h(CustomersDb(3), "select CUST_ID, CUST_NAME, CUST_CLASSID, 'N' AS SELECT_YN, CAST(X'" + hex +
                                      "' AS BLOB SUB_TYPE 0) AS PHOTO, CAST(NULL AS INTEGER) AS IMG from CUSTOMER "
                                      "ORDER BY CUST_ID");
    TkxDBGrid* g = h.grid;
    TStringList list = WindowColumnList();
    list.Add("PHOTO\t4\tP\t\t");
    list.Add("IMG\t4\tI\t\t");
    g->SetSelected(list);
    TImageList images(nullptr);
    g->SetImageList(&images);
    std::map<AnsiString, std::set<AnsiString>> seen; // per field, the records the colour hook saw
    g->OnCalcCellColors = [&](TObject*, TField* f, TGridDrawState, bool, TFont*, TBrush*) {
        seen[f->FieldName()].insert(h.Field("CUST_ID")->AsString());
    };
    g->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    // A line without a copy mode or without anything after the type: the plain size or the given
    // one, a plain copy; every row draws its picture.
    struct Case {
        const char* line;
        bool stretched;
    };
    for (const Case& k : {Case{"PHOTO;Bitmap", false}, Case{"PHOTO;Bitmap;Stretch To Fit", true}}) {
        g->SetControlType(TStringList{kWindowControlType, k.line, "IMG;ImageIndex"});
        g->ApplyColumnList();
        seen.clear();
        GridPicture p(g, "bitmap-cells");
        for (int row = 1; row <= 3; ++row) {
            const TRect cell = g->CellRect(5, row);
            EXPECT_EQ(p.CountColor(cell, clRed), k.stretched ? cell.Width() * cell.Height() : 4)
                << k.line << ", row " << row;
        }
        const std::set<AnsiString> all{"C0001", "C0002", "C0003"};
        for (const char* field : {"SELECT_YN", "PHOTO", "IMG"})
            EXPECT_EQ(seen[field], all) << field;
    }
    g->SetImageList(nullptr);
}

TEST(CellPaint, ThemedTickBoxesStandOutFromEveryRowAndTheTitleRowIsOneFace) {
    GridHarness h(CustomersDb(6));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    for (int i = 1; i <= 6; ++i)
        setSelect(h, i, i <= 3 ? "Y" : "N");
    h.cds->First();
    // Row 1 the highlighted current cell, then alternating rows of a mid-tone blue and white.
    g->PaintOptions()->SetAlternatingRowColor(RGB(120, 160, 220));
    GridPicture p(g, "tick-contrast");
    for (int row = 1; row <= 6; ++row) {
        const TRect cell = g->CellRect(1, row), s = checkSquare(g, 1, row);
        const TColor back = p.At(cell.Left + 1, cell.Top + 1);
        // The border on all four sides, and (ticked) a tick of some pixels inside.
        for (const TPoint& at : {TPoint{s.Left, s.Top + 6}, TPoint{s.Right - 1, s.Top + 6}, TPoint{s.Left + 6, s.Top},
                                 TPoint{s.Left + 6, s.Bottom - 1}})
            EXPECT_GE(contrastOf(p.At(at.X, at.Y), back), 3.0) << "row " << row << " at " << at.X << "," << at.Y;
        const int tick = p.Count(Rect(s.Left + 2, s.Top + 2, s.Right - 2, s.Bottom - 2),
                                 [&](TColor c) { return contrastOf(c, back) >= 3.0; });
        if (row <= 3)
            EXPECT_GT(tick, 8) << "row " << row;
        else
            EXPECT_EQ(tick, 0) << "row " << row;
    }
    // The indicator's title, a column's title and the pad beside the last one: one face (above the
    // titles' text).
    const TColor face = ColorToRGB(g->TitleColor());
    for (int x : {g->ColWidths(0) / 2, g->CellRect(2, 0).Left + 4, g->ClientWidth() - 4})
        EXPECT_EQ(p.At(x, 1), face) << "x " << x;
}

TEST(CellPaint, AbsurdColumnWidthsAreKeptToAMillionPixels) {
    GridHarness h(CustomersDb(3));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    for (const char* width : {"268435455", "2147483647"}) {
        TStringList list = WindowColumnList();
        list.SetStrings(2, Ansi(std::string("CUST_NAME\t") + width + "\t客戶名稱\t\t"));
        g->SetSelected(list);
        g->ApplyColumnList();
        EXPECT_EQ(g->ColWidths(3), TCustomGrid::kMostCellExtent) << width;
        // The grid still draws, and a click on the wide column finds its cell.
        const TRect name = g->CellRect(3, 2);
        ASSERT_FALSE(name.IsEmpty()) << width;
        GridPicture p(g, "absurd-width");
        EXPECT_GT(p.Ink(Rect(name.Left, name.Top, g->ClientWidth(), name.Bottom)), 20) << width;
        EXPECT_EQ(g->MouseCoord(name.Left + 10, name.Top + 3), (TGridCoord{3, 2})) << width;
    }
}
