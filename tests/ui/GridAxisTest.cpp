#include "UiTest.h"

#include "ui/CustomGrid.h"
#include "ui/Form.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
using Walk = std::vector<std::pair<int, int>>;  // (cell, start) in walking order

// A grid of 8 columns 20, 30, 40 ... 90 pixels wide (the first two fixed) and 10 rows of 24 (the
// first fixed), 300 x 100 pixels of client area: no border, no scroll bars.
TCustomGrid* axisGrid(TForm* form) {
    auto* g = new TCustomGrid(form);
    g->SetCtl3DBorder(false);
    g->SetScrollBars(ssNone);
    g->SetParent(form);
    g->SetBounds(0, 0, 300, 100);
    g->SetColCount(8);
    g->SetRowCount(10);
    for (int c = 0; c < 8; ++c)
        g->SetColWidths(c, 20 + 10 * c);
    g->SetFixedCols(2);
    return g;
}

Walk walk(const TGridAxisDrawInfo& a, int from, int to) {
    Walk w;
    a.ForEachShown(from, to, [&](int i, int start) { w.push_back({i, start}); });
    return w;
}
Walk walkAll(const TGridAxisDrawInfo& a) {
    Walk w;
    a.ForEachShown([&](int i, int start) { w.push_back({i, start}); });
    return w;
}
} // namespace

TEST(GridAxis, WalkStartsAndRectanglesAtSeveralScrollPositions) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    TCustomGrid* g = axisGrid(form.get());
    TGridDrawInfo di;

    // With one-pixel lines, left column 2: fixed 0 at 0 and 1 at 21, the fixed part ends at 52; then
    // 2 at 52, 3 at 93, 4 at 144, 5 at 205 (ends 275, the last whole one), 6 at 276 (partly shown).
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Horz), (Walk{{0, 0}, {1, 21}, {2, 52}, {3, 93}, {4, 144}, {5, 205}, {6, 276}}));
    EXPECT_EQ(di.Horz.FixedBoundary, 52);
    EXPECT_EQ(di.Horz.LastFullVisibleCell, 5);
    EXPECT_EQ(di.Horz.GridBoundary, 300);
    EXPECT_EQ(g->CellRect(6, 1), Rect(276, 25, 356, 49));
    EXPECT_EQ(g->CellRect(1, 0), Rect(21, 0, 51, 24));
    EXPECT_TRUE(g->CellRect(7, 1).IsEmpty());
    EXPECT_EQ(g->BoxRect(1, 1, 3, 2), Rect(21, 25, 143, 74));
    // Rows: the fixed row, then 1 at 25, 2 at 50, 3 at 75 (ends 99); row 4 would start at 100.
    EXPECT_EQ(walkAll(di.Vert), (Walk{{0, 0}, {1, 25}, {2, 50}, {3, 75}}));
    // Only the cells whose area (cell and line) meets the span are walked, fixed ones first.
    EXPECT_EQ(walk(di.Horz, 51, 93), (Walk{{1, 21}, {2, 52}}));
    EXPECT_EQ(walk(di.Horz, 92, 94), (Walk{{2, 52}, {3, 93}}));
    EXPECT_EQ(walk(di.Horz, 300, 400), (Walk{{6, 276}}));  // its area goes on past the client edge
    EXPECT_EQ(walk(di.Horz, 357, 400), Walk{});
    Walk fixed, scrolled;
    di.Horz.ForEachFixed(0, 300, [&](int i, int start) { fixed.push_back({i, start}); });
    di.Horz.ForEachScrolled(100, 200, [&](int i, int start) { scrolled.push_back({i, start}); });
    EXPECT_EQ(fixed, (Walk{{0, 0}, {1, 21}}));
    EXPECT_EQ(scrolled, (Walk{{3, 93}, {4, 144}}));

    // Left column 4: 4 at 52, 5 at 113 (ends 183), 6 at 184 (ends 264), 7 at 265 (ends 355, partly shown).
    g->SetLeftCol(4);
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Horz), (Walk{{0, 0}, {1, 21}, {4, 52}, {5, 113}, {6, 184}, {7, 265}}));
    EXPECT_EQ(di.Horz.CellStart(3), -1);  // scrolled out
    EXPECT_EQ(di.Horz.CellStart(7), 265);
    EXPECT_EQ(g->CellRect(4, 3), Rect(52, 75, 112, 99));
    EXPECT_EQ(g->BoxRect(2, 1, 5, 1), Rect(52, 25, 183, 49));  // 2 and 3 are not shown
    EXPECT_TRUE(g->BoxRect(2, 1, 3, 1).IsEmpty());

    // Left column 5 is as far as it goes: 5 at 52, 6 at 123, 7 at 204 ending at 294, all whole.
    g->SetLeftCol(7);
    EXPECT_EQ(g->LeftCol(), 5);
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Horz), (Walk{{0, 0}, {1, 21}, {5, 52}, {6, 123}, {7, 204}}));
    EXPECT_EQ(di.Horz.GridBoundary, 295);
    EXPECT_EQ(di.Horz.LastShownCell(), 7);
    // Rows scrolled as far as they go: 7 at 25, 8 at 50, 9 at 75.
    g->SetTopRow(9);
    EXPECT_EQ(g->TopRow(), 7);
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Vert), (Walk{{0, 0}, {7, 25}, {8, 50}, {9, 75}}));
    EXPECT_EQ(g->CellRect(7, 9), Rect(204, 75, 294, 99));
    EXPECT_TRUE(g->CellRect(7, 6).IsEmpty());

    // Without lines the cells touch: left column 2 gives 0 at 0, 1 at 20, 2 at 50, 3 at 90, 4 at 140,
    // 5 at 200, 6 at 270.
    g->SetOptions({});
    g->SetLeftCol(2);
    g->SetTopRow(1);
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Horz), (Walk{{0, 0}, {1, 20}, {2, 50}, {3, 90}, {4, 140}, {5, 200}, {6, 270}}));
    EXPECT_EQ(walkAll(di.Vert), (Walk{{0, 0}, {1, 24}, {2, 48}, {3, 72}, {4, 96}}));
    EXPECT_EQ(g->CellRect(3, 4), Rect(90, 96, 140, 120));
    EXPECT_EQ(g->BoxRect(0, 0, 6, 0), Rect(0, 0, 350, 24));
}

TEST(GridAxis, HitTestsOnCellsLinesAndEdges) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    TCustomGrid* g = axisGrid(form.get());
    // A line belongs to the cell before it; nothing at or past the last cell's area or the client edge.
    EXPECT_EQ(g->MouseCoord(0, 0), (TGridCoord{0, 0}));
    EXPECT_EQ(g->MouseCoord(51, 24), (TGridCoord{1, 0}));
    EXPECT_EQ(g->MouseCoord(52, 25), (TGridCoord{2, 1}));
    EXPECT_EQ(g->MouseCoord(92, 99), (TGridCoord{2, 3}));
    EXPECT_EQ(g->MouseCoord(299, 50), (TGridCoord{6, 2}));  // the partly shown column
    EXPECT_EQ(g->MouseCoord(300, 50), (TGridCoord{-1, -1}));
    EXPECT_EQ(g->MouseCoord(-1, 50), (TGridCoord{-1, -1}));
    EXPECT_EQ(g->MouseCoord(10, 100), (TGridCoord{-1, -1}));
    g->SetLeftCol(5);
    EXPECT_EQ(g->MouseCoord(294, 10), (TGridCoord{7, 0}));
    EXPECT_EQ(g->MouseCoord(295, 10), (TGridCoord{-1, -1}));  // right of the last column
    EXPECT_EQ(g->MouseCoord(60, 60), (TGridCoord{5, 2}));
    g->SetTopRow(7);
    EXPECT_EQ(g->MouseCoord(30, 26), (TGridCoord{1, 7}));
    EXPECT_EQ(g->MouseCoord(30, 24), (TGridCoord{1, 0}));

    // A column of no width has no area: the point goes to the column after it.
    g->SetOptions({});
    g->SetLeftCol(2);
    g->SetColWidths(3, 0);
    EXPECT_EQ(g->MouseCoord(90, 10), (TGridCoord{4, 0}));
    EXPECT_EQ(g->MouseCoord(89, 10), (TGridCoord{2, 0}));
    EXPECT_TRUE(g->CellRect(3, 1).IsEmpty());

    // The sizing test walks the same cells: the border of a scrolled column, and the last of two
    // borders that crowd (a narrow column after a wide one).
    g->SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing});
    g->SetColWidths(3, 50);
    TGridDrawInfo fixedInfo;
    g->CalcFixedInfo(fixedInfo);
    TGridState state = gsNormal;
    int index = -1, pos = 0, ofs = 0;
    g->CalcSizingState(145, 5, state, index, pos, ofs, fixedInfo);  // 3 at 93 ends at 143
    EXPECT_EQ(state, gsColSizing);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(pos, 143);
    EXPECT_EQ(ofs, 2);
    g->SetColWidths(3, 2);  // 2 ends at 92, 3 at 93 ends at 95
    g->CalcSizingState(93, 5, state, index, pos, ofs, fixedInfo);
    EXPECT_EQ(index, 3);
    g->CalcSizingState(89, 5, state, index, pos, ofs, fixedInfo);
    EXPECT_EQ(index, 2);
}

TEST(GridAxis, FixedCellsWiderThanTheClientArea) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    TCustomGrid* g = axisGrid(form.get());
    // 40 pixels: fixed 0 and 1 start inside (1 is cut), no scrolled column is shown.
    g->SetWidth(40);
    TGridDrawInfo di;
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Horz), (Walk{{0, 0}, {1, 21}}));
    EXPECT_EQ(di.Horz.LastShownCell(), di.Horz.FirstGridCell - 1);
    EXPECT_EQ(di.Horz.CellStart(2), -1);
    EXPECT_EQ(g->BoxRect(1, 0, 5, 0), Rect(21, 0, 51, 24));
    EXPECT_EQ(g->MouseCoord(39, 0), (TGridCoord{1, 0}));
    // 15 pixels: only fixed 0 starts inside.
    g->SetWidth(15);
    g->CalcDrawInfo(di);
    EXPECT_EQ(walkAll(di.Horz), (Walk{{0, 0}}));
    EXPECT_EQ(di.Horz.CellStart(1), -1);
    EXPECT_EQ(g->BoxRect(0, 0, 3, 0), Rect(0, 0, 20, 24));
    EXPECT_TRUE(g->CellRect(1, 0).IsEmpty());
    // No room at all: nothing is shown.
    g->SetWidth(0);
    EXPECT_TRUE(g->CellRect(0, 0).IsEmpty());
    EXPECT_EQ(g->MouseCoord(0, 0), (TGridCoord{-1, -1}));
}

TEST(GridAxis, KeptLayoutFollowsEveryChangeOfGeometry) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    TCustomGrid* g = axisGrid(form.get());
    // Each change must be seen by the next rectangle without anything being asked in between.
    EXPECT_EQ(g->CellRect(2, 1).Left, 52);
    g->SetColWidths(0, 40);
    EXPECT_EQ(g->CellRect(2, 1).Left, 72);
    g->SetGridLineWidth(3);
    EXPECT_EQ(g->CellRect(2, 1).Left, 76);
    g->SetGridLineWidth(1);
    g->SetFixedCols(1);
    EXPECT_TRUE(g->CellRect(1, 1).IsEmpty());  // still left of the left column
    g->SetLeftCol(1);
    EXPECT_EQ(g->CellRect(1, 1).Left, 41);
    g->SetDefaultRowHeight(30);
    EXPECT_EQ(g->CellRect(1, 1).Top, 31);
    g->SetRowHeights(0, 10);
    EXPECT_EQ(g->CellRect(1, 1).Top, 11);
    g->SetFixedRows(0);
    EXPECT_EQ(g->CellRect(1, 1).Top, 0);
    EXPECT_TRUE(g->CellRect(1, 0).IsEmpty());
    g->SetTopRow(0);
    EXPECT_EQ(g->CellRect(1, 1).Top, 11);
    g->SetTopRow(2);
    EXPECT_EQ(g->CellRect(1, 2).Top, 0);
    g->MoveColumn(1, 3);  // widths 40, 30, 40, 50 become 40, 40, 50, 30
    EXPECT_EQ(g->CellRect(2, 2).Width(), 50);
    EXPECT_EQ(g->CellRect(3, 2).Width(), 30);
    g->SetColCount(3);
    EXPECT_TRUE(g->CellRect(3, 2).IsEmpty());
    g->SetHeight(20);
    EXPECT_EQ(g->VisibleRowCount(), 1);
    EXPECT_EQ(g->CellRect(1, 2).Bottom, 30);
    g->SetOptions({});
    EXPECT_EQ(g->CellRect(2, 2).Left, 80);
}
