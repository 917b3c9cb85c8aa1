// Cell and title painting over real customers: check boxes in both looks, the current cell's
// highlight and focus, titles of two lines, empty and short datasets, cut text, the indicator glyphs.
#include "grid/KxGridGlyphs.h"
#include "grid/support/GridFixture.h"
#include "grid/support/GridPicture.h"
#include "grid/support/KxIntl.h"

#include <gtest/gtest.h>

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
    const int strokes[6][4] = {{R - 2, T + 2, L + 1, B - 1}, {R - 3, T + 2, L + 1, B - 2}, {R - 2, T + 3, L + 2, B - 1},
                               {L + 2, T + 2, R - 1, B - 1}, {L + 3, T + 2, R - 1, B - 2}, {L + 2, T + 3, R - 2, B - 1}};
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
