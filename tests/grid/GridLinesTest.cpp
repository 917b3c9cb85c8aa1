// Grid lines, alternating rows, background pictures and the footer over real customers.
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"
#include "ui/Input.h"
#include "ui/ScreenPicture.h"

#include <gtest/gtest.h>

namespace {
// The row line under a cell and the column line right of it.
TRect rowLine(const TRect& cell) {
    return Rect(cell.Left, cell.Bottom, cell.Right, cell.Bottom + 1);
}
TRect colLine(const TRect& cell, int dx = 0) {
    return Rect(cell.Right + dx, cell.Top, cell.Right + dx + 1, cell.Bottom);
}
} // namespace

TEST(GridLines, DynamicLinesAreSilverOnWhiteAndRaisedOnAnotherColour) {
    GridHarness h(CustomersDb(5));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    const TRect cell = g->CellRect(3, 3); // not the current row
    GridPicture white(g, "lines-white");
    EXPECT_TRUE(white.All(rowLine(cell), clSilver));
    EXPECT_TRUE(white.All(colLine(cell), clSilver));
    EXPECT_TRUE(white.All(Rect(cell.Left, cell.Top, cell.Right, cell.Top + 1), clWindow));
    // On cream the data lines are 3D: a shadow under the cell and a light line along its top, a
    // shadow right of each column and a light line just right of it.
    const TColor cream = RGB(255, 250, 220);
    g->SetColor(cream);
    GridPicture raised(g, "lines-cream");
    // (The first pixel of each belongs to the light line right of the column before.)
    EXPECT_TRUE(raised.All(Rect(cell.Left + 1, cell.Bottom, cell.Right, cell.Bottom + 1), clBtnShadow));
    EXPECT_TRUE(raised.All(Rect(cell.Left, cell.Top, cell.Right, cell.Top + 1), clBtnHighlight));
    EXPECT_TRUE(raised.All(colLine(cell), clBtnShadow));
    EXPECT_TRUE(raised.All(Rect(cell.Right + 1, cell.Top + 1, cell.Right + 2, cell.Bottom), clBtnHighlight));
    EXPECT_EQ(raised.At(cell.Right - 3, cell.Top + 5), cream);
    // A single style keeps silver lines on cream; the line colours are the grid's.
    g->SetLineStyle(glsSingle);
    g->LineColors()->SetDataColor(clRed);
    GridPicture single(g, "lines-single");
    EXPECT_TRUE(single.All(rowLine(cell), clRed));
    EXPECT_TRUE(single.All(colLine(cell), clRed));
}

TEST(GridLines, HideAllLinesKeepsThePadFills) {
    GridHarness h(CustomersDb(3));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(8);
    TkxDBGrid* g = h.grid;
    g->SetDisableThemes(true);
    g->SetHideAllLines(true);
    GridPicture p(g, "lines-hidden");
    const TRect cell = g->CellRect(2, 2), last = g->CellRect(4, 3);
    EXPECT_TRUE(p.All(rowLine(cell), clWindow));
    EXPECT_TRUE(p.All(colLine(cell), clWindow));
    // The title row and the indicator are flat: no light or dark edges.
    const TRect title = g->CellRect(2, 0), ind = g->CellRect(0, 2);
    EXPECT_EQ(p.CountColor(Rect(title.Right, title.Top, title.Right + 1, title.Bottom + 1), clBlack), 0);
    EXPECT_EQ(p.CountColor(Rect(title.Left, title.Bottom, title.Right + 1, title.Bottom + 1), clBlack), 0);
    EXPECT_EQ(p.CountColor(title, clBtnHighlight), 0);
    EXPECT_EQ(p.CountColor(ind, clBtnHighlight), 0);
    // The pads are filled, without their edges.
    const int padTop = last.Bottom + 1, w = g->ClientWidth(), hgt = g->ClientHeight();
    EXPECT_TRUE(p.All(Rect(1, padTop + 1, w, hgt), clBtnFace));
    EXPECT_TRUE(p.All(Rect(last.Right + 1, 0, w, padTop), clBtnFace));
    EXPECT_EQ(p.CountColor(Rect(0, padTop - 1, w, hgt), clBlack), 0);
    EXPECT_EQ(p.CountColor(Rect(0, padTop + 1, 1, hgt), clBtnHighlight), 0);
}

TEST(GridLines, AlternatingRowsColourFixedAndCheckBoxCellsAndKeepTheirRecordWhenScrolling) {
    GridHarness h(CustomersDb(30));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(10);
    TkxDBGrid* g = h.grid;
    g->SetDisableThemes(true);
    g->PaintOptions()->SetAlternatingRowColor(clYellow);
    // The corner of a check-box cell, away from its box; the middle of a text cell, right of its text.
    auto box = [&](const GridPicture& p, int row) {
        return p.At(g->CellRect(1, row).Left + 2, g->CellRect(1, row).Top + 2);
    };
    auto text = [&](const GridPicture& p, int row) {
        return p.At(g->CellRect(3, row).Right - 3, g->CellRect(3, row).Top + 8);
    };
    auto fixed = [&](const GridPicture& p, int row) {
        return p.At(g->CellRect(0, row).Left + 1, g->CellRect(0, row).Top + 2);
    };
    GridPicture p(g, "alternating");
    for (int row = 1; row <= 10; ++row) {
        const bool alternate = (row - 1) % 2 == 1;
        // The current cell of the focused grid is highlighted whatever its band.
        const TColor current = ColorToRGB(clHighlight);
        EXPECT_EQ(box(p, row), row == g->Row() ? current : alternate ? clYellow : ColorToRGB(clWindow)) << "row " << row;
        EXPECT_EQ(fixed(p, row), alternate ? clYellow : ColorToRGB(clBtnFace)) << "row " << row;
        // Plain text cells are not coloured without a picture.
        EXPECT_EQ(text(p, row), ColorToRGB(clWindow)) << "row " << row;
    }
    // One record further down: every record keeps its colour on its new row.
    h.cds->First();
    for (int i = 0; i < 10; ++i)
        h.cds->Next();
    ASSERT_EQ(g->DataLink().ActiveRecord(), 9);
    ASSERT_EQ(h.cds->RecNo(), 11);
    GridPicture scrolled(g, "alternating-scrolled");
    for (int row = 1; row <= 10; ++row)
        EXPECT_EQ(box(scrolled, row), row == g->Row()         ? ColorToRGB(clHighlight)
                                      : (row - 1) % 2 == 0 ? clYellow
                                                           : ColorToRGB(clWindow))
            << "row " << row;
}

TEST(GridLines, AlternatingRowsOverAPictureTintEveryDataCell) {
    GridHarness h(CustomersDb(6));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetDisableThemes(true);
    TBitmap tile;
    tile.SetSize(8, 8);
    tile.Canvas()->Brush()->SetColor(RGB(200, 220, 240));
    tile.Canvas()->FillRect(Rect(0, 0, 8, 8));
    TkxGridPaintOptions& o = *g->PaintOptions();
    o.SetBackgroundBitmap(tile);
    o.SetBackgroundOptions({coFillDataCells, coBlendAlternatingRow});
    o.SetAlternatingRowColor(clYellow);
    GridPicture p(g, "alternating-picture");
    // The picture tinted with yellow: each channel + (255 div 2, 255 div 2, 0) - 128.
    const TColor picture = RGB(200, 220, 240), tinted = RGB(199, 219, 112);
    for (int row = 1; row <= 6; ++row) {
        const TRect r = g->CellRect(3, row);
        EXPECT_EQ(p.At(r.Right - 3, r.Top + 8), (row - 1) % 2 == 1 ? tinted : picture) << "row " << row;
    }
    // The lines are single on a picture, and the pad shows through it under the records.
    EXPECT_TRUE(p.All(rowLine(g->CellRect(3, 3)), clSilver));
    // Without blending the alternate rows are plain yellow; without the picture only check-box and
    // fixed cells alternate.
    o.SetBackgroundOptions({coFillDataCells});
    GridPicture plain(g, "alternating-picture-plain");
    EXPECT_EQ(plain.At(g->CellRect(3, 2).Right - 3, g->CellRect(3, 2).Top + 8), clYellow);
    EXPECT_EQ(plain.At(g->CellRect(3, 3).Right - 3, g->CellRect(3, 3).Top + 8), picture);
    o.SetBackgroundBitmap(TBitmap());
    GridPicture none(g, "alternating-no-picture");
    EXPECT_EQ(none.At(g->CellRect(3, 2).Right - 3, g->CellRect(3, 2).Top + 8), ColorToRGB(clWindow));
}

TEST(GridLines, FooterBandTakesOneLineAndFramesOnlyCellsWithText) {
    GridHarness h(CustomersDb(30));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    const int rowsBefore = g->VisibleRowCount(), client = g->ClientHeight();
    g->SetOptions(g->Options() + TkxDBGridOptions{dgShowFooter});
    const int band = h.TextHeight("W", *g->Font()) + 6;
    ASSERT_EQ(g->FooterBandHeight(), band);
    EXPECT_EQ(g->CellArea().Bottom, client - band);
    EXPECT_LT(g->VisibleRowCount(), rowsBefore);
    EXPECT_EQ(g->DataLink().BufferCount(), g->VisibleRowCount());
    g->ColumnAt(1).SetFooterText(Ansi("共 30"));
    GridPicture p(g, "footer");
    const int top = client - band, bottom = client;
    const TRect id = g->CellRect(2, 1), name = g->CellRect(3, 1);
    // The band: the footer colour, a light left edge and a black bottom line.
    EXPECT_EQ(p.At(0, top + 5), ColorToRGB(clBtnHighlight));
    EXPECT_TRUE(p.All(Rect(0, bottom - 1, g->ClientWidth(), bottom), clBlack));
    EXPECT_TRUE(p.All(Rect(name.Left, top + 1, name.Right, bottom - 1), clBtnFace));
    // The CUST_ID cell: shadow along its left and top, light along its bottom and right, the text.
    EXPECT_TRUE(p.All(Rect(id.Left - 1, top + 1, id.Left, bottom - 2), clBtnShadow));
    EXPECT_TRUE(p.All(Rect(id.Left - 1, top + 1, id.Right - 1, top + 2), clBtnShadow));
    EXPECT_TRUE(p.All(Rect(id.Left, bottom - 2, id.Right, bottom - 1), clBtnHighlight));
    EXPECT_TRUE(p.All(Rect(id.Right - 1, top + 2, id.Right, bottom - 2), clBtnHighlight));
    EXPECT_GT(p.Ink(Rect(id.Left + 5, top + 2, id.Right - 2, bottom - 2)), 20);
    // Its height: FooterHeight when set, two more with raised cells.
    g->SetFooterHeight(30);
    EXPECT_EQ(g->FooterBandHeight(), 30);
    g->SetOptions(g->Options() + TkxDBGridOptions{dgFooter3DCells});
    EXPECT_EQ(g->FooterBandHeight(), 32);
    GridPicture raised(g, "footer-3d");
    const int top3 = client - 32;
    EXPECT_TRUE(raised.All(Rect(id.Left, top3 + 2, id.Left + 1, bottom - 3), clBlack));
    g->SetOptions(g->Options() - TkxDBGridOptions{dgShowFooter});
    EXPECT_EQ(g->CellArea().Bottom, client);
    EXPECT_EQ(g->VisibleRowCount(), rowsBefore);
}

TEST(GridLines, APartialRepaintLeavesTheLinesAsAWholePaintDoes) {
    // The lines between cells are drawn with the cells: repainting some cells must leave every line
    // around them as a whole paint leaves it, in both looks and both line kinds.
    GridHarness h(CustomersDb(20));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    h.Field("SELECT_YN")->SetReadOnly(false);
    auto check = [&](const char* what) {
        DeliverPaints();
        EXPECT_EQ(StalePixels(g), 0) << what;
        g->Invalidate();
        DeliverPaints();
    };
    for (bool classic : {false, true}) {
        g->SetDisableThemes(classic);
        for (TColor color : {clWindow, RGB(255, 250, 220)}) {
            g->SetColor(color);
            check("start");
            g->InvalidateCell(3, 4);
            check("one cell");
            SendKey(g, VK_DOWN); // the indicator moves a row down
            check("down");
            const TRect box = g->CellRect(1, 5);
            SendClick(g, box.Left + box.Width() / 2, box.Top + box.Height() / 2); // a tick
            check("tick");
            h.cds->Cancel();
            h.cds->First();
        }
    }
}

TEST(GridLines, FooterTextStaysInsideItsCellAndAWideNumberKeepsItsStart) {
    GridHarness h(CustomersDb(5));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetOptions(g->Options() + TkxDBGridOptions{dgShowFooter});
    g->SetFooterHeight(40);
    h.Field("CUST_ID")->SetAlignment(taRightJustify);
    const int bottom = g->ClientHeight(), top = bottom - 40;
    const TRect id = g->CellRect(2, 1);
    // Lines past the band's one, and a number wider than the cell (right-aligned): the frame stays,
    // and the number starts at the cell's left.
    for (const char* text : {"客戶 客戶 客戶 客戶 客戶 客戶", "12345678901234567890"}) {
        g->ColumnAt(1).SetFooterText(Ansi(text));
        GridPicture p(g, "footer-clipped");
        EXPECT_TRUE(p.All(Rect(id.Left, bottom - 2, id.Right, bottom - 1), clBtnHighlight)) << text;
        EXPECT_TRUE(p.All(Rect(id.Right - 1, top + 2, id.Right, bottom - 2), clBtnHighlight)) << text;
    }
    // The number reads the same right-aligned as left-aligned: from its first digit, cut at its end.
    auto ink = [&](TAlignment a) {
        h.Field("CUST_ID")->SetAlignment(a);
        GridPicture p(g, "footer-number");
        std::vector<bool> dots;
        for (int y = top + 2; y < bottom - 2; ++y)
            for (int x = id.Left; x < id.Right - 1; ++x)
                dots.push_back(IsInk(p.At(x, y)));
        return dots;
    };
    EXPECT_EQ(ink(taRightJustify), ink(taLeftJustify));
}

TEST(GridLines, AnInactiveGridFillsItsIndicatorColumnInTheTitleColourDownTheWholeGrid) {
    GridHarness h(CustomersDb(3));
    h.Show();
    TkxDBGrid* g = h.grid;
    ASSERT_FALSE(g->DataLink().Active());
    GridPicture p(g, "inactive");
    EXPECT_TRUE(p.All(Rect(0, g->RowHeights(0) + 1, g->ColWidths(0), g->ClientHeight()), g->TitleColor()));
}
