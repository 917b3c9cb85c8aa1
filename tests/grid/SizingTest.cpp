// Column widths the user drags, columns moved in column-list mode, best fit by double click,
// proportional sizing and row resizing, over real customers ("0" is 8 pixels wide).
#include "core/SysUtils.h"
#include "grid/KxGridGlyphs.h"
#include "grid/KxListLines.h"
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"
#include "ui/Dialogs.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

namespace {
// Drags the right border of a title by dx pixels.
void dragBorder(TkxDBGrid* g, int col, int dx) {
    const TRect r = g->CellRect(col, 0);
    const int y = r.Top + r.Height() / 2;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, r.Right, y);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, r.Right + dx, y);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, r.Right + dx, y);
}

// Drags the lower border of a row in the indicator column by dy pixels.
void dragRow(TkxDBGrid* g, int row, int dy) {
    const int y = g->CellRect(0, row).Bottom;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, 5, y);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, 5, y + dy);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, 5, y + dy);
}

void columnListMode(TkxDBGrid* g, const TStringList& list) {
    g->SetUseTFields(false);
    g->SetSelected(list);
    g->ApplyColumnList();
}
} // namespace

TEST(ColumnSizing, ADraggedWidthGoesIntoTheFieldOrTheListLine) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    std::vector<int> reported;
    g->OnColWidthChanged = [&](TObject*, int column) { reported.push_back(column); };
    // TFields mode: CUST_NAME dragged to 45 pixels is (45 + 1 - 4) div 8 = 5 characters; the list stays.
    dragBorder(g, 3, 45 - g->ColWidths(3));
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), 5);
    EXPECT_EQ(h.Field("CUST_ID")->DisplayWidth(), 8);
    EXPECT_EQ(h.Field("SELECT_YN")->DisplayWidth(), 4);
    EXPECT_EQ(reported, std::vector<int>{3});
    EXPECT_EQ(g->Selected().Lines(), WindowColumnList().Lines());

    // Column-list mode: the line's width changes; its flag and group name stay as they stood.
    columnListMode(g, WindowColumnList());
    dragBorder(g, 2, 16);
    EXPECT_EQ(
        g->Selected().Lines(),
        (std::vector<AnsiString>{Ansi("SELECT_YN\t4\t選擇\t\t"), Ansi("CUST_ID\t10\t客戶代號\t\t"),
                                 Ansi("CUST_NAME\t17\t客戶名稱\t\t"), Ansi("CUST_CLASSID\t8\t客戶類別\tT")}));
    EXPECT_EQ(g->ColWidths(2), 84);

    // A line without a title stops the write-back: the lines before it are written, it and the
    // rest stay, and the error is shown.
    TStringList shortLine = WindowColumnList();
    shortLine.SetStrings(2, "CUST_NAME\t17");
    columnListMode(g, shortLine);
    std::vector<AnsiString> boxes;
    MessageBoxHook = [&](const AnsiString& text, const AnsiString&, unsigned) {
        return boxes.push_back(text), IDOK;
    };
    dragBorder(g, 2, 8);
    MessageBoxHook = nullptr;
    EXPECT_EQ(boxes, std::vector<AnsiString>{"List index out of bounds (2)"});
    EXPECT_EQ(g->Selected().Lines(),
              (std::vector<AnsiString>{Ansi("SELECT_YN\t4\t選擇\t\t"), Ansi("CUST_ID\t9\t客戶代號\t\t"),
                                       "CUST_NAME\t17", Ansi("CUST_CLASSID\t8\t客戶類別\tT")}));
}

TEST(ColumnSizing, MovingAColumnMovesItsListLine) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    columnListMode(g, WindowColumnList());
    std::vector<std::pair<int, int>> moves;
    g->OnColumnMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
    const int y = g->CellRect(3, 0).Top + 5, x = g->CellRect(3, 0).Left + 20, to = g->CellRect(2, 0).Left + 3;
    SendMouse(g, TMouseAction::Down, mbLeft, {}, x, y);
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, to, y);
    SendMouse(g, TMouseAction::Up, mbLeft, {}, to, y);
    EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{2, 1}}));
    EXPECT_EQ(g->Selected()[1], Ansi("CUST_NAME\t17\t客戶名稱\t\t"));
    EXPECT_EQ(g->Selected()[2], Ansi("CUST_ID\t8\t客戶代號\t\t"));
    EXPECT_EQ(g->MappedField(1)->FieldName(), "CUST_NAME");
    EXPECT_EQ(g->ColWidths(2), 140);
    EXPECT_EQ(g->ColWidths(3), 68);
}

TEST(ColumnSizing, ADraggedColumnsDropPlaceIsMarkedByTwoArrowsInTheTitleRow) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    const TRect name = g->CellRect(3, 0), id = g->CellRect(2, 0), cls = g->CellRect(4, 0);
    const int y = name.Top + 5;
    const int top = (name.Top + name.Bottom - kColumnMoveArrowHeight) / 2;
    GridPicture before(g, "drag-before");
    // Changed pixels must lie in the two arrows either side of edge x, filling a good part of each,
    // or in the ghost of the dragged title, held where it was pressed (20 pixels in) under the pointer.
    auto marksAt = [&](int x, int pointer, const char* shot) {
        const GridPicture during(g, shot);
        const TRect right =
            Bounds(x - kColumnMoveArrowWidth, top, kColumnMoveArrowWidth, kColumnMoveArrowHeight);
        const TRect left = Bounds(x + 1, top, kColumnMoveArrowWidth, kColumnMoveArrowHeight);
        const TRect ghost = Bounds(pointer - 20, name.Top, name.Width(), name.Height());
        int inRight = 0, inLeft = 0, inGhost = 0, elsewhere = 0;
        for (int py = 0; py < g->ClientHeight(); ++py)
            for (int px = 0; px < g->ClientWidth(); ++px) {
                if (during.At(px, py) == before.At(px, py)) continue;
                if (right.Contains({px, py}))
                    ++inRight;
                else if (left.Contains({px, py}))
                    ++inLeft;
                else if (ghost.Contains({px, py}))
                    ++inGhost;
                else
                    ++elsewhere;
            }
        EXPECT_EQ(elsewhere, 0) << shot;
        EXPECT_GT(inRight, 30) << shot;
        EXPECT_GT(inLeft, 30) << shot;
        EXPECT_GT(inGhost, 100) << shot;
    };
    SendMouse(g, TMouseAction::Down, mbLeft, {}, name.Left + 20, y);
    // Not yet a drag: no mark.
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, name.Left + 22, y);
    const GridPicture still(g, "drag-still");
    int changed = 0;
    for (int py = 0; py < g->ClientHeight(); ++py)
        for (int px = 0; px < g->ClientWidth(); ++px)
            changed += still.At(px, py) != before.At(px, py);
    EXPECT_EQ(changed, 0);
    // Over the ID column from the right: the column would go before it, at its left edge.
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, id.Left + 5, y);
    marksAt(id.Left, id.Left + 5, "drag-left");
    // Over the class column from the left: after it, at its right edge.
    SendMouse(g, TMouseAction::Move, mbLeft, {ssLeft}, cls.Left + 5, y);
    marksAt(cls.Right, cls.Left + 5, "drag-right");
    // Dropped: the marks go with the drag.
    SendMouse(g, TMouseAction::Up, mbLeft, {}, cls.Left + 5, y);
    ASSERT_EQ(g->MappedField(3)->FieldName(), "CUST_NAME");
    const GridPicture after(g, "drag-after");
    EXPECT_EQ(
        after.Ink(Bounds(g->CellRect(4, 0).Right + 1, top, kColumnMoveArrowWidth, kColumnMoveArrowHeight)),
        0);
}

TEST(ColumnSizing, DoubleClickOnATitleEdgeFitsTheColumnToTheRowsShown) {
    GridHarness h(CustomersDb(12));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetOptions(g->Options() + TkxDBGridOptions{dgDblClickColSizing});
    int widest = 0;
    for (const AnsiString& name : h.ColumnTexts(2))
        widest = std::max(widest, h.TextWidth(name, *g->Font()));
    auto fitByMouse = [&] {
        const TRect r = g->CellRect(3, 0);
        const int x = r.Right + 2, y = r.Top + 5;
        SendMouse(g, TMouseAction::Down, mbLeft, {}, x, y);
        SendMouse(g, TMouseAction::Up, mbLeft, {}, x, y);
        SendMouse(g, TMouseAction::DoubleClick, mbLeft, {}, x, y);
        SendMouse(g, TMouseAction::Up, mbLeft, {}, x, y);
    };
    // A column the title keeps wider than its width in characters is not written back when the
    // grid applies the widths itself.
    h.Field("SELECT_YN")->SetDisplayWidth(2);
    // Far wider than its names: it shrinks to the widest name + 4, cut to whole characters.
    fitByMouse();
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), (widest + 4) / 8);
    EXPECT_EQ(h.Field("SELECT_YN")->DisplayWidth(), 2);
    // Narrower than the names, which need more than half of a narrow grid: it stays.
    h.Field("CUST_NAME")->SetDisplayWidth(2);
    g->SetWidth(2 * (widest + 4) - 2);
    g->FitColumn(3);
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), 2);
    // The indicator has no field and keeps its width.
    g->FitColumn(0);
    EXPECT_EQ(g->ColWidths(0), 11);
}

TEST(ColumnSizing, ProportionalSizingFillsTheWidth) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    columnListMode(g, WindowColumnList());
    g->SetOptions(g->Options() + TkxDBGridOptions{dgProportionalColResize});
    EXPECT_EQ(g->ScrollBars(), ssVertical);
    auto expectFilled = [&](int from) {
        const int n = g->ColCount();
        int used = 0, left = 0;
        for (int c = 0; c < from; ++c)
            left += g->ColWidths(c) + 1;
        for (int c = from; c < n; ++c) {
            used += g->ColWidths(c) + (c < n - 1 ? 1 : 0);
            if (c < n - 1) {
                EXPECT_GE(g->ColWidths(c), 20) << c;
            }
            EXPECT_EQ(StrToInt(ListLineField(g->Selected()[c - 1], 1)), (g->ColWidths(c) - 4) / 8) << c;
        }
        const int thumb = g->Width() - g->ClientWidth() < 10 ? GetSystemMetrics(SM_CXHTHUMB) + 1 : 0;
        EXPECT_EQ(used, g->ClientWidth() - 2 - (left - 1) - thumb);
    };
    expectFilled(1);
    g->SetWidth(380);
    expectFilled(1);
    // A dragged column keeps its new width; the ones right of it share the rest.
    const int wanted = g->ColWidths(2) + 24;
    dragBorder(g, 2, 24);
    EXPECT_EQ(g->ColWidths(2), wanted);
    expectFilled(3);
}

TEST(RowSizing, ADraggedRowSetsThePercentageNotBelowTheFloor) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetOptions(g->Options() + TkxDBGridOptions{dgRowResize});
    const int base = g->DefaultRowHeight();
    ASSERT_EQ(base, 18);
    dragRow(g, 1, 10);
    EXPECT_EQ(g->RowHeightPercent(), 28 * 100 / 18);
    EXPECT_EQ(g->DefaultRowHeight(), 18 * 155 / 100);
    EXPECT_EQ(g->RowHeightFloor(), 100);
    // Dragged below the floor: the floor.
    dragRow(g, 2, -15);
    EXPECT_EQ(g->RowHeightPercent(), 100);
    EXPECT_EQ(g->DefaultRowHeight(), 18);
    // A floor of 150: a smaller row comes back to the floor's height.
    g->SetRowHeightPercent(150);
    dragRow(g, 1, -10);
    EXPECT_EQ(g->RowHeightPercent(), 150);
    EXPECT_EQ(g->RowHeights(1), 27);
    EXPECT_EQ(g->RowHeights(2), 27);
}

TEST(ColumnSizing, FrozenColumnsAreSizedOnlyWhenTheOptionsAllowIt) {
    GridHarness h(CustomersDb(5));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetFixedCols(1); // the tick column stays
    int told = 0, widthWhenTold = -1;
    g->OnColWidthChanged = [&](TObject*, int) { ++told, widthWhenTold = g->ColWidths(1); };
    const int width = g->ColWidths(1);
    dragBorder(g, 1, 20);
    EXPECT_EQ(g->ColWidths(1), width);
    EXPECT_EQ(told, 0);
    // dgFixedEditable lets a frozen column be sized, as dgFixedResizable does.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgFixedEditable});
    dragBorder(g, 1, 20);
    EXPECT_GT(g->ColWidths(1), width);
    EXPECT_EQ(told, 1);
    // With dgFixedResizable too; a frozen column dragged to nothing keeps some width.
    g->SetOptions(g->Options() - TkxDBGridOptions{dgFixedEditable} + TkxDBGridOptions{dgFixedResizable});
    dragBorder(g, 1, -g->ColWidths(1) + 1);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(widthWhenTold, g->ColWidths(1));
    EXPECT_GE(g->ColWidths(1), 2);
}
