// The column model over real customers: columns from the fields or from the list, pixel widths,
// titles, read-only flags and tab stops, fixed columns, row heights, options, groups.
#include "core/Exception.h"
#include "grid/KxListLines.h"
#include "grid/support/GridFixture.h"
#include "ui/Panel.h"

#include <gtest/gtest.h>

namespace {
std::vector<AnsiString> fieldOrder(TDataSet* ds, bool visibleOnly = false) {
    std::vector<AnsiString> names;
    for (TField* f : ds->FieldList())
        if (!visibleOnly || f->Visible()) names.push_back(f->FieldName());
    return names;
}

std::vector<AnsiString> columnFields(const TkxCustomDBGrid* g) {
    std::vector<AnsiString> names;
    for (int c = g->IndicatorOffset(); c < g->ColCount(); ++c)
        names.push_back(g->GridColumnFieldName(c));
    return names;
}

// The width a column gets: characters in the grid font or the title, whichever is wider.
int expectedWidth(const GridHarness& h, int chars, const AnsiString& title) {
    return std::max(chars * h.W0() + 4, h.TextWidth(title, h.grid->TitleFont()) + 4);
}
} // namespace

TEST(ColumnModel, TheWindowsListInTFieldsMode) {
    GridHarness h(CustomersDb(30));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    ASSERT_EQ(h.W0(), 8); // the window's font

    // The list reorders, sizes, titles and shows the fields; no other field is visible.
    EXPECT_EQ(fieldOrder(h.cds),
              (std::vector<AnsiString>{"SELECT_YN", "CUST_ID", "CUST_NAME", "CUST_CLASSID"}));
    EXPECT_EQ(fieldOrder(h.cds, true), fieldOrder(h.cds));
    EXPECT_EQ(h.Field("SELECT_YN")->DisplayWidth(), 4);
    EXPECT_EQ(h.Field("CUST_ID")->DisplayWidth(), 8);
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), 17);
    EXPECT_EQ(h.Field("CUST_CLASSID")->DisplayWidth(), 8);
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayName(), Ansi("客戶名稱"));

    ASSERT_EQ(g->ColCount(), 5);
    EXPECT_EQ(columnFields(g), fieldOrder(h.cds));
    EXPECT_EQ(g->ColWidths(0), 11);
    const char* titles[] = {"選擇", "客戶代號", "客戶名稱", "客戶類別"};
    const int chars[] = {4, 8, 17, 8};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g->TitleText(i), Ansi(titles[i]));
        EXPECT_EQ(g->ColWidths(i + 1), expectedWidth(h, chars[i], Ansi(titles[i]))) << i;
        EXPECT_EQ(g->ColumnAt(i).ReadOnly(), i == 3) << i;
    }
    // A field the dataset cannot write is no tab stop either: the statement's computed SELECT_YN.
    EXPECT_TRUE(h.Field("SELECT_YN")->ReadOnly());
    EXPECT_FALSE(g->TabStops(1));
    EXPECT_TRUE(g->TabStops(2));
    EXPECT_TRUE(g->TabStops(3));
    EXPECT_FALSE(g->TabStops(4));
    EXPECT_EQ(g->ColWidths(2), 68); // 8 x 8 + 4, wider than its title
    EXPECT_EQ(g->TCustomGrid::FixedCols(), 1);
    EXPECT_EQ(g->TitleRowCount(), 1);
    EXPECT_EQ(g->Col(), 1);
    EXPECT_EQ(g->CacheItem(1).Type, "CheckBox");
    EXPECT_EQ(g->CacheItem(1).Parameters, "Y;N");
    EXPECT_EQ(g->ControlTypeCache().size(), 5u);

    // Heights: "W" + 2 + 1 for the row line; the title row "W" of the title font + 4.
    EXPECT_EQ(g->DefaultRowHeight(), h.TextHeight("W", *g->Font()) + 3);
    EXPECT_EQ(g->RowHeights(0), h.TextHeight("W", g->TitleFont()) + 4);
}

TEST(ColumnModel, AnEmptyListInBothModes) {
    // TFields mode: every visible field in field order, with its own width and label.
    GridHarness h(CustomersDb(30));
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Field("CUST_CLASSID")->SetVisible(false);
    h.Show();
    TkxDBGrid* g = h.grid;
    EXPECT_EQ(columnFields(g), (std::vector<AnsiString>{"CUST_ID", "CUST_NAME", "SELECT_YN"}));
    EXPECT_EQ(g->ColWidths(1), expectedWidth(h, h.Field("CUST_ID")->DisplayWidth(), "CUST_ID"));
    EXPECT_EQ(g->ColWidths(2), 50 * h.W0() + 4);
    EXPECT_EQ(g->TitleText(2), "SELECT_YN");
    EXPECT_TRUE(g->Selected().Count() == 0);

    // Column-list mode: one empty data column.
    g->SetUseTFields(false);
    EXPECT_EQ(g->ColCount(), 2);
    EXPECT_EQ(g->MappedFieldCount(), 0);
    EXPECT_EQ(g->GridColumnFieldName(1), "");
    EXPECT_TRUE(g->ColumnAt(0).IsNullColumn());
}

TEST(ColumnModel, ALineNamingAMissingField) {
    const TStringList list{"NOPE\t5\tNothing", "CUST_NAME\t12\tName", "CUST_ID\t6\tId"};
    {
        // TFields mode: the line stays and still counts for the positions of the lines after it.
        GridHarness h(CustomersDb(10));
        h.grid->SetSelected(list);
        h.grid->SetDataSource(h.source);
        h.cds->Open();
        h.Show();
        EXPECT_EQ(h.grid->Selected().Count(), 3);
        EXPECT_EQ(columnFields(h.grid), (std::vector<AnsiString>{"CUST_NAME", "CUST_ID"}));
        EXPECT_EQ(h.Field("CUST_ID")->Index(), 2);
        EXPECT_EQ(h.Field("CUST_NAME")->Index(), 0);
        EXPECT_EQ(h.Field("CUST_ID")->DisplayName(), "Id");
    }
    {
        // Column-list mode: shown while the dataset is closed, removed once it is open.
        GridHarness h(CustomersDb(10));
        h.grid->SetUseTFields(false);
        h.grid->SetSelected(list);
        h.grid->SetDataSource(h.source);
        h.Show();
        EXPECT_EQ(h.grid->ColCount(), 4);
        EXPECT_EQ(h.grid->GridColumnFieldName(1), "NOPE");
        EXPECT_EQ(h.grid->TitleText(0), "Nothing");
        h.cds->Open();
        EXPECT_EQ(h.grid->Selected().Count(), 2);
        EXPECT_EQ(h.grid->Selected()[0], "CUST_NAME\t12\tName");
        EXPECT_EQ(columnFields(h.grid), (std::vector<AnsiString>{"CUST_NAME", "CUST_ID"}));
        EXPECT_EQ(h.grid->ColWidths(1), expectedWidth(h, 12, "Name"));
        EXPECT_EQ(h.grid->TitleText(1), "Id");
        // The dataset's own field order is not the list's business in this mode.
        EXPECT_EQ(h.Field("CUST_ID")->Index(), 0);
    }
}

TEST(ColumnModel, LetterCaseIsAsciiOnlyAndExactWhereSaid) {
    GridHarness h(CustomersDb(10));
    h.grid->SetSelected(TStringList{"cust_id\t8\tId\tt", "Cust_Name\t10\tName\tT"});
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TkxDBGrid* g = h.grid;
    EXPECT_EQ(columnFields(g), (std::vector<AnsiString>{"CUST_ID", "CUST_NAME"}));
    EXPECT_FALSE(g->ColumnAt(0).ReadOnly()); // "t" is not "T"
    EXPECT_TRUE(g->TabStops(1));
    EXPECT_TRUE(g->ColumnAt(1).ReadOnly());
    EXPECT_FALSE(g->TabStops(2));
    EXPECT_EQ(g->FindSelectedLine("CUST_NAME"), 1);
    EXPECT_EQ(&g->FindColumn("cust_name"), &g->ColumnAt(1));

    // Bytes of a double-byte character are never folded: 一 (A4 40) and 乙 (A4 41) differ from the
    // characters with the lower-case letters' codes as second bytes.
    TStringList names{"\xA4\x61\t1", "X\t1"};
    g->SetSelected(names);
    EXPECT_EQ(g->FindSelectedLine("\xA4\x41"), -1);
    EXPECT_EQ(g->FindSelectedLine("\xA4\x61"), 0);
    EXPECT_EQ(g->FindSelectedLine("x"), 1);
}

TEST(ColumnModel, TitlesWithLineBreaksAndBig5) {
    GridHarness h(CustomersDb(10));
    TkxDBGrid* g = h.grid;
    // 外 and 才 end in the byte of "~": the title breaks only at the real "~".
    g->SetUseTFields(false);
    g->SetSelected(TStringList{Ansi("CUST_ID\t1\t外才~品"), "CUST_NAME\t1\tAB~~CDEFGHIJKLMNOP",
                               Ansi("SELECT_YN\t1\t功")});
    g->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    const TFont& tf = g->TitleFont();
    EXPECT_EQ(g->ColWidths(1), std::max(h.TextWidth(Ansi("外才"), tf), h.TextWidth(Ansi("品"), tf)) + 4);
    EXPECT_EQ(g->ColWidths(2), std::max(h.W0() + 4, h.TextWidth("AB", tf) + 4));
    EXPECT_EQ(g->TitleText(2), Ansi("功"));

    // dgNoLimitColSize: a narrow column keeps its character width under a long title, at once.
    g->SetOptions(g->Options() + TkxDBGridOptions{dgNoLimitColSize});
    EXPECT_EQ(g->ColWidths(1), h.W0() + 4);
    EXPECT_EQ(g->ColWidths(2), h.W0() + 4);
}

TEST(ColumnModel, FixedColumnsInAndOutOfRange) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetFixedCols(1);
    EXPECT_EQ(g->TCustomGrid::FixedCols(), 2);
    g->SetFixedCols(0);
    EXPECT_EQ(g->TCustomGrid::FixedCols(), 1);
    // As many as there are data columns, or fewer than none: stored, not applied.
    g->SetFixedCols(4);
    EXPECT_EQ(g->FixedCols(), 4);
    EXPECT_EQ(g->TCustomGrid::FixedCols(), 1);
    g->SetFixedCols(-1);
    EXPECT_EQ(g->FixedCols(), -1);
    EXPECT_EQ(g->TCustomGrid::FixedCols(), 1);
    // A stored value is applied once the columns allow it.
    g->SetFixedCols(5);
    g->SetSelected(TStringList{});
    g->SetUseTFields(false);
    g->SetSelected(TStringList{"CUST_ID\t2\tA", "CUST_NAME\t2\tB", "CUST_CLASSID\t2\tC", "SELECT_YN\t2\tD",
                               "CUST_ID\t2\tE", "CUST_NAME\t2\tF", "CUST_ID\t2\tG"});
    g->RebuildLayout();
    EXPECT_EQ(g->ColCount(), 8);
    EXPECT_EQ(g->TCustomGrid::FixedCols(), 6);
}

TEST(ColumnModel, TitleLinesRowHeightsAndTheIndicatorButton) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    const int w = h.TextHeight("W", *g->Font()), tw = h.TextHeight("W", g->TitleFont());
    g->SetTitleLines(2);
    EXPECT_EQ(g->RowHeights(0), 2 * tw + 4);
    g->SetTitleLines(0); // ignored
    EXPECT_EQ(g->TitleLines(), 2);

    g->SetRowHeightPercent(150);
    EXPECT_EQ(g->DefaultRowHeight(), (w + 3) * 150 / 100);
    g->SetRowHeightPercent(-5); // back to 100, without a rebuild
    EXPECT_EQ(g->RowHeightPercent(), 100);
    EXPECT_EQ(g->DefaultRowHeight(), (w + 3) * 150 / 100);
    g->RebuildLayout();
    EXPECT_EQ(g->DefaultRowHeight(), w + 3);

    // Without row lines the fixed cells' lines keep the room; with none in fixed cells either, there
    // is no line room, at once, and the title row is one pixel more.
    g->SetOptions(g->Options() - TkxDBGridOptions{dgRowLines});
    EXPECT_EQ(g->DefaultRowHeight(), w + 3);
    g->SetOptions(g->Options() + TkxDBGridOptions{dgRowLinesDisableFixed});
    EXPECT_EQ(g->DefaultRowHeight(), w + 2);
    EXPECT_EQ(g->RowHeights(0), 2 * tw + 5);

    // A corner button taller than the title row sets the title height and the indicator width.
    auto* button = new TPanel(h.form);
    button->SetBounds(0, 0, 20, 60);
    g->SetOptions(g->Options() + TkxDBGridOptions{dgRowLines});
    g->SetIndicatorButton(button);
    EXPECT_EQ(g->RowHeights(0), 59);
    EXPECT_EQ(g->IndicatorButtonTop(), (60 - (2 * tw + 4)) / 2 + 2);
    EXPECT_EQ(g->ColWidths(0), 19);
    // On the grid it is kept in the corner.
    button->SetParent(g);
    button->SetBounds(7, 5, 20, 60);
    g->RebuildLayout();
    EXPECT_EQ(button->BoundsRect(), Rect(0, 0, 20, 60));
    delete button; // the grid lets go of it
    EXPECT_EQ(g->IndicatorButton(), nullptr);
    g->RebuildLayout();
    EXPECT_EQ(g->ColWidths(0), 11);
}

TEST(ColumnModel, OptionsStoreTheirValueAndShapeTheBaseGrid) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    EXPECT_EQ(g->Options(), kxDefaultGridOptions);
    EXPECT_EQ(kxDefaultGridOptions.Bits(), 7421u);
    EXPECT_EQ(std::get<int64_t>(g->GetProperty("Options")), 7421);
    EXPECT_EQ(std::get<int64_t>(g->GetProperty("KeyOptions")), 6);
    EXPECT_EQ(std::get<int64_t>(g->GetProperty("EditControlOptions")), 3);
    EXPECT_EQ(std::get<int64_t>(g->GetProperty("PadColumnStyle")), 2);
    EXPECT_EQ(g->TCustomGrid::Options(),
              (TGridOptions{goFixedVertLine, goVertLine, goHorzLine, goFixedHorzLine, goColSizing,
                            goColMoving, goEditing, goTabs}));

    g->SetOptions(g->Options() + TkxDBGridOptions{dgRowSelect, dgRowResize});
    EXPECT_TRUE(g->TCustomGrid::Options().Contains(goRowSelect));
    EXPECT_TRUE(g->TCustomGrid::Options().Contains(goRowSizing));
    EXPECT_FALSE(g->TCustomGrid::Options().Contains(goEditing));

    // Without the indicator the data columns start at the left edge.
    ASSERT_TRUE(g->SetProperty("Options", int64_t(7421 - 8)));
    EXPECT_EQ(g->IndicatorOffset(), 0);
    EXPECT_EQ(g->ColCount(), 4);
    EXPECT_EQ(g->GridColumnFieldName(0), "SELECT_YN");
    EXPECT_EQ(g->ColWidths(0), 36);
    // Without titles no title row.
    g->SetOptions(g->Options() - TkxDBGridOptions{dgTitles});
    EXPECT_EQ(g->TitleRowCount(), 0);
    EXPECT_EQ(g->FixedRows(), 0);
    EXPECT_EQ(g->Row(), 0);
}

TEST(ColumnModel, ColumnRecordsWidthWritesAndTheNullColumn) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    // The write goes into the line (empty group and flag become "F"), the field and the pixels.
    g->ColumnAt(0).SetDisplayWidth(9);
    EXPECT_EQ(g->Selected()[0], Ansi("SELECT_YN\t9\t選擇\tF"));
    EXPECT_EQ(h.Field("SELECT_YN")->DisplayWidth(), 9);
    EXPECT_EQ(g->ColWidths(1), 9 * 8 + 4);
    EXPECT_EQ(g->ColumnAt(0).DisplayWidth(), 9);
    EXPECT_EQ(g->ColumnAt(3).DisplayLabel(), Ansi("客戶類別"));

    TkxColumn& none = g->ColumnAt(4);
    EXPECT_TRUE(none.IsNullColumn());
    EXPECT_FALSE(none.ReadOnly());
    EXPECT_EQ(none.GroupHeaderName(), "");
    EXPECT_EQ(none.DisplayWidth(), 0);
    none.SetDisplayWidth(3);
    none.SetFooterText("x");
    EXPECT_EQ(none.FooterText(), "");
    EXPECT_EQ(&g->ColumnAt(-1), &none);
    EXPECT_EQ(&g->FindColumn("NOPE"), &none);

    // Footer texts survive a rebuild by field name; row draw flags do not.
    g->ColumnAt(2).SetFooterText(Ansi("合計"));
    g->ColumnAt(2).RowDrawFlags()[3] = 1;
    g->RebuildLayout();
    EXPECT_EQ(g->ColumnAt(2).FooterText(), Ansi("合計"));
    EXPECT_EQ(g->ColumnAt(2).RowDrawFlagsIfAny(), nullptr);
}

TEST(ColumnModel, BadListLinesFailAndLeaveTheGuardsDown) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    g->SetUseTFields(false);
    auto message = [&](const TStringList& lines) -> AnsiString {
        g->SetSelected(lines);
        try {
            g->RebuildLayout();
        } catch (const Exception& e) {
            return e.Message();
        }
        return "(none)";
    };
    EXPECT_EQ(message({"CUST_ID\tabc\tId"}), "'abc' is not a valid integer value");
    EXPECT_EQ(message({"CUST_ID"}), "List index out of bounds (1)");
    EXPECT_EQ(message({"CUST_ID\t7\tId"}), "(none)");
    EXPECT_EQ(g->ColWidths(1), expectedWidth(h, 7, "Id"));

    // TFields mode: a known field without a title part; the dataset's controls follow it again.
    g->SetUseTFields(true);
    g->SetSelected(TStringList{"CUST_NAME\t9\tName", "CUST_ID\t8"});
    try {
        g->ApplyColumnList();
        ADD_FAILURE() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
    EXPECT_FALSE(h.cds->ControlsDisabled());
    EXPECT_EQ(h.Field("CUST_NAME")->DisplayWidth(), 9);
}

TEST(ColumnModel, GroupHeaderRunsAndBands) {
    GridHarness h(CustomersDb(10));
    TkxDBGrid* g = h.grid;
    g->SetUseTFields(false);
    g->SetSelected(TStringList{"CUST_ID\t20\tId\tF\tWho", "CUST_NAME\t20\tName\tF\tWho",
                               "CUST_CLASSID\t20\tClass\tF", "SELECT_YN\t20\tTick\tF\twho"});
    g->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    int first = -1, last = -1;
    ASSERT_TRUE(g->GroupHeaderRun(1, false, first, last));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 1);
    EXPECT_FALSE(g->GroupHeaderRun(2, false, first, last));
    ASSERT_TRUE(g->GroupHeaderRun(3, false, first, last)); // letter case counts
    EXPECT_EQ(first, 3);

    const int title = g->RowHeights(0);
    TRect band = g->GroupBandRect(0);
    EXPECT_EQ(band, Rect(g->CellRect(1, 0).Left, 0, g->CellRect(2, 0).Right, title / 2));
    EXPECT_EQ(g->TitleCellRect(2).Top, title / 2);
    EXPECT_EQ(g->TitleCellRect(3).Top, 0);
    EXPECT_TRUE(g->GroupBandRect(2).IsEmpty());

    // Scrolled past the run's first column, the band keeps its full width off the left.
    g->SetLeftCol(2);
    ASSERT_EQ(g->LeftCol(), 2);
    EXPECT_EQ(g->GroupBandRect(1).Left, g->CellRect(2, 0).Left); // the shown part only
    band = g->GroupBandRect(1, false);
    EXPECT_EQ(band.Left, g->CellRect(2, 0).Left - g->ColWidths(1) - 1);
    EXPECT_EQ(band.Right, g->CellRect(2, 0).Right);
}

TEST(ColumnModel, TheTitleFontFollowsTheGridFontUntilItIsChanged) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    EXPECT_TRUE(g->TitleFont().SameAs(*h.form->Font()));
    TFont bigger = *h.form->Font();
    bigger.SetHeight(20);
    h.form->SetFont(bigger);
    EXPECT_EQ(g->Font()->Height(), 20);
    EXPECT_EQ(g->TitleFont().Height(), 20);
    EXPECT_EQ(g->RowHeights(0), h.TextHeight("W", bigger) + 4);

    TFont own = bigger;
    own.SetHeight(12);
    g->SetTitleFont(own);
    EXPECT_FALSE(g->ParentFont());
    bigger.SetHeight(24);
    h.form->SetFont(bigger);
    EXPECT_EQ(g->Font()->Height(), 20);
    EXPECT_EQ(g->TitleFont().Height(), 12);
}
