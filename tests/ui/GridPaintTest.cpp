#include "UiTest.h"

#include "ScreenPicture.h"
#include "core/Exception.h"
#include "ui/Application.h"
#include "ui/CustomGrid.h"
#include "ui/Form.h"
#include "ui/Input.h"
#include "ui/QtBridge.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {
using Cells = std::set<std::pair<int, int>>;

// A grid whose scrolling rows show "records": row r shows record r + shift, each record its own
// colour, so a picture moved the wrong way or a row left stale shows on the screen.
struct RecordGrid : TCustomGrid {
    using TCustomGrid::TCustomGrid;
    using TCustomGrid::ScrollRowImages;
    Cells painted;
    Cells failing; // cells whose drawing raises once they are filled
    int shift = 0;
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override {
        painted.insert({col, row});
        Canvas()->Brush()->SetColor(Colour(col, row));
        Canvas()->FillRect(Rect(rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom - 2));
        if (failing.contains({col, row}))
            throw Exception("hook failed");
        TCustomGrid::DrawCell(col, row, rect, state);
    }
    TColor Colour(int col, int row) const {
        const int record = row < FixedRows() ? 0 : row + shift;
        return RGB(record * 23, col * 50, 90 + record * 7);
    }
};

// A shown form with a 300 x 200 grid of 5 columns and 30 rows of 64 x 24 pixels (row 7 the last one
// shown, whole), no border and no scroll bars; the grid has the focus and everything is painted.
struct Shown {
    std::unique_ptr<TForm> form{new TForm(Application)};
    RecordGrid* g;
    Shown() {
        form->SetBounds(0, 0, 400, 300);
        g = new RecordGrid(form.get());
        g->SetCtl3DBorder(false);
        g->SetScrollBars(ssNone);
        g->SetParent(form.get());
        g->SetBounds(0, 0, 300, 200);
        g->SetRowCount(30);
        form->Show();
        g->SetFocus();
        DeliverPaints();
    }
    // The cells painted by the pending paints.
    Cells paint() {
        g->painted.clear();
        DeliverPaints();
        Cells p = g->painted;
        g->painted.clear();
        return p;
    }
    static Cells row(int r, int cols = 5) {
        Cells c;
        for (int i = 0; i < cols; ++i)
            c.insert({i, r});
        return c;
    }
};
} // namespace

TEST(GridPaint, InvalidatingACellARowOrAColumnPaintsOnlyThoseCells) {
    StartApplication();
    Shown s;
    RecordGrid* g = s.g;
    ASSERT_EQ(g->Row(), 1);
    s.g->InvalidateCell(2, 2);
    EXPECT_EQ(s.paint(), (Cells{{2, 2}}));
    EXPECT_EQ(StalePixels(g), 0);

    g->InvalidateRow(3);
    EXPECT_EQ(s.paint(), Shown::row(3));
    g->InvalidateCol(1);
    Cells col;
    for (int r = 0; r <= 7; ++r)
        col.insert({1, r});
    EXPECT_EQ(s.paint(), col);
    // Moving the current cell repaints the cell it left and the one it came to (focus and highlight).
    SendKey(g, VK_DOWN);
    EXPECT_EQ(s.paint(), (Cells{{1, 1}, {1, 2}}));
    EXPECT_EQ(StalePixels(g), 0);

    // Without lines the cells touch: still only the cell asked for.
    g->SetOptions({});
    s.paint();
    g->InvalidateCell(3, 4);
    EXPECT_EQ(s.paint(), (Cells{{3, 4}}));
    // A cell off the screen invalidates nothing.
    g->InvalidateCell(2, 20);
    EXPECT_EQ(s.paint(), Cells{});
    EXPECT_EQ(StalePixels(g), 0);
}

TEST(GridPaint, RecordScrollMovesTheRowsThatStayAndPaintsOnlyTheBand) {
    StartApplication();
    Shown s;
    RecordGrid* g = s.g;
    // The records move on by one: the rows that stay keep their picture, moved up one row; only the
    // row that came in at the bottom is painted, and the current cell (1, 1), whose focus mark the
    // picture took away (out of the scrolling rows).
    ASSERT_EQ(g->Row(), 1);
    g->shift = 1;
    ASSERT_TRUE(g->ScrollRowImages(1));
    Cells expected = Shown::row(7);
    expected.insert({1, 1});
    EXPECT_EQ(s.paint(), expected);
    EXPECT_EQ(StalePixels(g), 0);
    // Back by two: the two rows that came in at the top, and the focus mark's picture, now on (1, 3).
    g->shift = -1;
    ASSERT_TRUE(g->ScrollRowImages(-2));
    expected = Shown::row(1);
    expected.merge(Shown::row(2));
    expected.insert({1, 3});
    EXPECT_EQ(s.paint(), expected);
    EXPECT_EQ(StalePixels(g), 0);

    // A cell waiting to be painted moves with the picture: its new place is painted.
    g->shift = 0;
    g->InvalidateCell(2, 5);
    ASSERT_TRUE(g->ScrollRowImages(1));
    EXPECT_TRUE(s.paint().contains({2, 4}));
    EXPECT_EQ(StalePixels(g), 0);

    // When no row would stay, or the rows differ in height, nothing moves and the caller repaints.
    EXPECT_FALSE(g->ScrollRowImages(7));
    EXPECT_FALSE(g->ScrollRowImages(-9));
    g->SetRowHeights(4, 30);
    s.paint();
    EXPECT_FALSE(g->ScrollRowImages(1));
    EXPECT_EQ(s.paint(), Cells{});
}

TEST(GridPaint, AHookRaisingWhilePaintingLeavesWhatWasPaintedAndIsToldOncePerPaint) {
    StartApplication();
    Shown s;
    RecordGrid* g = s.g;
    int told = 0;
    Application->OnException = [&](TObject*, const std::exception&) { ++told; };
    // Two cells apart (two parts of one paint), each raising after its fill: both fills show, not the
    // pictures from before, and the failure is told once.
    g->shift = 5;
    g->failing = {{1, 2}, {3, 6}};
    g->InvalidateCell(1, 2);
    g->InvalidateCell(3, 6);
    s.paint();
    Application->OnException = nullptr;
    EXPECT_EQ(told, 1);
    const QImage shown = ScreenPicture(g);
    for (const auto& [col, row] : g->failing) {
        const TRect r = g->CellRect(col, row);
        EXPECT_EQ(shown.pixel(r.Left + 5, r.Top + 5) & 0xFFFFFF, bridge::ToPixel(g->Colour(col, row)) & 0xFFFFFF)
            << col << "," << row;
    }
}
