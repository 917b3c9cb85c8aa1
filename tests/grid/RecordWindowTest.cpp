// The data link and the record window over real customers: row count, buffer and current row,
// the vertical scroll bar, scroll messages and keys, activation, events and their order, Escape.
#include "core/Exception.h"
#include "data/Provider.h"
#include "grid/support/GridFixture.h"
#include "grid/support/KxIntl.h"
#include "support/DataChain.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/Input.h"

#include <QScrollBar>
#include <gtest/gtest.h>

namespace {
struct Bar {
    int min, max, page, pos;
    bool operator==(const Bar&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Bar& b) {
    return o << "{" << b.min << ", " << b.max << ", " << b.page << ", " << b.pos << "}";
}
Bar bar(const TkxDBGrid* g) {
    TScrollInfo s = g->GetScrollInfo(sbVertical);
    return {s.Min, s.Max, s.Page, s.Pos};
}

// Records the grid's events in order.
struct EventLog {
    std::vector<std::string> events;
    explicit EventLog(TkxDBGrid* g) {
        g->OnRowChanged = [this](TObject*) { events.push_back("row"); };
        g->OnCellChanged = [this](TObject*) { events.push_back("cell"); };
        g->OnTopRowChanged = [this](TObject*) { events.push_back("top"); };
        g->OnColEnter = [this](TObject*) { events.push_back("colenter"); };
        g->OnColExit = [this](TObject*) { events.push_back("colexit"); };
        g->OnUpdateFooter = [this](TObject*) { events.push_back("footer"); };
        g->OnFieldChanged = [this](TObject*, TField* f) { events.push_back("field " + f->FieldName()); };
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }
};

// The window invariants, checked from outside.
void expectWindow(const GridHarness& h) {
    TkxDBGrid* g = h.grid;
    TkxGridDataLink& link = g->DataLink();
    ASSERT_TRUE(link.Active());
    EXPECT_EQ(g->RowCount(), std::max(link.RecordCount(), 1) + 1);
    EXPECT_EQ(g->Row(), link.ActiveRecord() + 1);
    EXPECT_GE(link.BufferCount(), link.RecordCount());
    EXPECT_EQ(g->TopRow(), 1);
}

using std::vector, std::string;
} // namespace

TEST(RecordWindow, AnEmptyDatasetShowsOneEmptyRowAndAFullThumb) {
    GridHarness h(CustomersDb(0));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    EXPECT_EQ(g->RowCount(), 2);
    EXPECT_EQ(g->Row(), 1);
    EXPECT_EQ(bar(g), (Bar{1, 1001, 1000, 1}));
    // Shown, but the thumb cannot be moved.
    for (QScrollBar* b : g->Widget()->findChildren<QScrollBar*>())
        EXPECT_TRUE(b->orientation() != Qt::Vertical || !b->isEnabled());
    EXPECT_TRUE(h.ColumnTexts(1).empty());
}

TEST(RecordWindow, TenRecordsInTenRows) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(10);
    TkxDBGrid* g = h.grid;
    EXPECT_EQ(g->VisibleRowCount(), 10);
    EXPECT_EQ(g->DataLink().BufferCount(), 10);
    EXPECT_EQ(g->RowCount(), 11);
    EXPECT_EQ(bar(g), (Bar{1, 19, 10, 1}));
    h.cds->MoveBy(4);
    EXPECT_EQ(bar(g), (Bar{1, 19, 10, 5}));
    EXPECT_EQ(g->Row(), 5);
    expectWindow(h);
    // Edit keeps the bar on the record; insert leaves it where it was.
    h.cds->Edit();
    EXPECT_EQ(bar(g).pos, 5);
    h.cds->Cancel();
    h.cds->Insert();
    EXPECT_EQ(bar(g).pos, 5);
    EXPECT_EQ(g->Row(), 5);
    h.cds->Cancel();

    // The bars: the vertical one for the records, the horizontal one unless proportional sizing.
    EXPECT_EQ(g->ScrollBars(), ssBoth);
    g->SetShowVertScrollBar(false);
    EXPECT_EQ(g->ScrollBars(), ssHorizontal);
    g->SetShowHorzScrollBar(false);
    EXPECT_EQ(g->ScrollBars(), ssNone);
    g->SetShowVertScrollBar(true);
    EXPECT_EQ(g->ScrollBars(), ssVertical);
    EXPECT_EQ(bar(g), (Bar{1, 19, 10, 5}));
    g->SetShowHorzScrollBar(true);
    g->SetUseTFields(false);
    g->SetOptions(g->Options() + TkxDBGridOptions{dgProportionalColResize});
    EXPECT_EQ(g->ScrollBars(), ssVertical);
}

TEST(RecordWindow, ALongListReadsOnlyTheRowsItShowsAndPagesEvenly) {
    GridHarness h(CustomersDb(300));
    h.grid->SetSelected(WindowColumnList());
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    const long beforeLayout = h.cds->reads;
    h.Show();
    TkxDBGrid* g = h.grid;
    const int v = g->VisibleRowCount();
    ASSERT_GT(v, 5);
    EXPECT_EQ(g->DataLink().BufferCount(), v);
    EXPECT_LE(h.cds->reads - beforeLayout, v); // the first layout reads at most the rows it shows
    expectWindow(h);
    EXPECT_EQ(h.ColumnTexts(1).front(), "C0001");
    EXPECT_EQ(h.ColumnTexts(2)[1], Ansi("外功客2"));

    // Page Down: a page of records each time, the current row staying where it is.
    int recNo = 1;
    for (int page = 0; page < 5; ++page) {
        const long reads = h.cds->reads;
        const int row = g->Row();
        SendKey(g, VK_NEXT);
        recNo += v;
        EXPECT_EQ(h.cds->RecNo(), recNo);
        EXPECT_LE(h.cds->reads - reads, v);
        EXPECT_EQ(g->Row(), page == 0 ? v : row);
        EXPECT_EQ(bar(g).pos, recNo);
        expectWindow(h);
    }
    SendKey(g, VK_PRIOR);
    EXPECT_EQ(h.cds->RecNo(), recNo - v);
    SendKey(g, VK_UP);
    SendKey(g, VK_DOWN);
    SendKey(g, VK_DOWN);
    EXPECT_EQ(h.cds->RecNo(), recNo - v + 1);
    expectWindow(h);
    // A click on another row moves the dataset there.
    SendKey(g, VK_HOME, TShiftState{ssCtrl});
    EXPECT_EQ(h.cds->RecNo(), 1);
    TRect cell = g->CellRect(2, 4);
    SendClick(g, cell.Left + 2, cell.Top + 2);
    EXPECT_EQ(h.cds->RecNo(), 4);
    EXPECT_EQ(g->Row(), 4);
}

TEST(RecordWindow, ShrinkingHidesTheCurrentRowAndJumpsGoToTheLastRow) {
    GridHarness h(CustomersDb(300));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(20);
    TkxDBGrid* g = h.grid;
    EventLog log(g);
    h.cds->MoveBy(14);
    EXPECT_EQ(g->Row(), 15);
    log.take();

    // Fewer rows than the current row needs: repaint, OnTopRowChanged, the record in the last row.
    h.SetVisibleRows(10);
    EXPECT_EQ(log.take(), vector<string>{"top"});
    EXPECT_EQ(g->DataLink().BufferCount(), 10);
    EXPECT_EQ(g->Row(), 10);
    EXPECT_EQ(h.cds->RecNo(), 15);
    EXPECT_EQ(h.cds->FieldByName("CUST_ID")->AsString(), "C0015");
    EXPECT_EQ(bar(g), (Bar{1, 309, 10, 15}));
    expectWindow(h);
    // Growing reads the rows that now show, below.
    h.SetVisibleRows(12);
    EXPECT_EQ(g->DataLink().BufferCount(), 12);
    EXPECT_EQ(h.ColumnTexts(1).size(), 12u);
    expectWindow(h);

    // A jump farther than a window: no top-row event from the scroll, the row change is reported
    // (after the footer check that was pending since activation, now that it has a handler).
    h.cds->Last();
    EXPECT_EQ(log.take(), (vector<string>{"footer", "row", "cell"}));
    h.cds->First();
    EXPECT_EQ(log.take(), (vector<string>{"row", "cell"}));
    h.cds->Last();
    EXPECT_EQ(g->Row(), 12);
    EXPECT_EQ(h.ColumnTexts(1).back(), "C0300");
    EXPECT_EQ(bar(g).pos, 300);
    expectWindow(h);
}

TEST(RecordWindow, EventsOfMovesAndTheirOrder) {
    GridHarness h(CustomersDb(50));
    TkxDBGrid* g = h.grid;
    EventLog log(g);
    h.ShowLikeTheWindow();
    // The window's creation: the pending footer, the first row, then the column entry that the
    // activation (before the window existed) left pending, its cell report inside the row report.
    EXPECT_EQ(log.take(), (vector<string>{"footer", "row", "cell", "colenter", "footer"}));
    h.cds->Next();
    EXPECT_EQ(log.take(), (vector<string>{"top", "row", "cell"}));
    // A field changed in edit state, and the column of a field asked to take the focus.
    h.cds->Edit();
    h.Field("CUST_NAME")->SetAsString(Ansi("新名"));
    EXPECT_EQ(log.take(), vector<string>{"field CUST_NAME"});
    EXPECT_TRUE(g->FieldChangedMark());
    h.Field("CUST_NAME")->FocusControl();
    EXPECT_EQ(g->Col(), 3);
    EXPECT_EQ(log.take(), (vector<string>{"colexit", "colenter", "cell"}));
    h.cds->Cancel();
    log.take();

    // Without handlers for row, cell and footer, moves report nothing of them.
    g->OnRowChanged = g->OnCellChanged = g->OnUpdateFooter = nullptr;
    h.cds->Next();
    EXPECT_EQ(log.take(), vector<string>{"top"});
}

TEST(RecordWindow, AssigningAndClearingTheDataSource) {
    GridHarness h(CustomersDb(20));
    h.grid->SetSelected(WindowColumnList());
    h.Show();
    TkxDBGrid* g = h.grid;
    EventLog log(g);
    // Inactive: the indicator and one empty data column, one empty data row.
    EXPECT_EQ(g->ColCount(), 2);
    EXPECT_EQ(g->RowCount(), 2);
    h.cds->Open();
    g->SetDataSource(h.source); // already open: active at once
    EXPECT_TRUE(g->DataLink().Active());
    EXPECT_EQ(g->ColCount(), 5);
    // The link reports the activation, then the assignment passes it on again: one column entry,
    // a footer report from each.
    EXPECT_EQ(log.take(), (vector<string>{"colenter", "cell", "footer", "footer"}));
    g->SetDataSource(nullptr);
    EXPECT_FALSE(g->DataLink().Active());
    EXPECT_EQ(g->ColCount(), 2);
    EXPECT_EQ(g->RowCount(), 2);
    g->SetDataSource(h.source); // the column is entered again
    EXPECT_EQ(log.take(), (vector<string>{"colenter", "cell", "footer", "footer"}));
    // Closing and reopening pass through activation too.
    h.cds->Close();
    EXPECT_EQ(g->ColCount(), 2);
    h.cds->Open();
    EXPECT_EQ(g->ColCount(), 5);
    // A data source that goes takes the grid's reference with it.
    delete h.source;
    h.source = nullptr;
    EXPECT_EQ(g->DataSource(), nullptr);
    EXPECT_EQ(g->ColCount(), 2);
}

TEST(RecordWindow, ADatasetWithACalculatedFieldKeepsItsOwnAttributes) {
    GridHarness h(CustomersDb(10));
    // Declared fields: three data fields and a calculated one, in the dataset's own order and labels.
    auto field = [&](const char* name, int size, TFieldKind kind, const char* label) {
        auto* f = new TStringField(&h.owner);
        f->SetFieldName(name);
        f->SetSize(size);
        f->SetFieldKind(kind);
        f->SetDisplayLabel(label);
        f->SetDisplayWidth(6);
        f->SetDataSet(h.cds);
        return f;
    };
    field("CUST_NAME", 50, fkData, "Name");
    field("CUST_ID", 10, fkData, "Code");
    field("SELECT_YN", 1, fkData, "Tick");
    field("EXTRA", 5, fkCalculated, "Calc");
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    ASSERT_EQ(g->ColCount(), 5);
    EXPECT_EQ(g->GridColumnFieldName(1), "CUST_NAME");
    EXPECT_EQ(g->TitleText(0), "Name");
    EXPECT_EQ(g->ColWidths(1), 6 * h.W0() + 4);
    EXPECT_EQ(g->GridColumnFieldName(4), "EXTRA");
    EXPECT_FALSE(g->TabStops(4)); // calculated: no tab stop without EditCalculated
    g->SetEditCalculated(true);
    g->RebuildLayout();
    EXPECT_TRUE(g->TabStops(4));
}

TEST(RecordWindow, ScrollMessages) {
    GridHarness h(CustomersDb(100));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(10);
    TkxDBGrid* g = h.grid;
    EventLog log(g);
    g->WMVScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(h.cds->RecNo(), 2);
    g->WMVScroll(SB_PAGEDOWN, 0);
    EXPECT_EQ(h.cds->RecNo(), 12);
    g->WMVScroll(SB_PAGEUP, 0);
    g->WMVScroll(SB_LINEUP, 0);
    EXPECT_EQ(h.cds->RecNo(), 1);
    log.take();
    // The thumb released: the record of that number, OnTopRowChanged when it moved.
    g->WMVScroll(SB_THUMBPOSITION, 57);
    EXPECT_EQ(h.cds->RecNo(), 57);
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "C0057");
    expectWindow(h);
    EXPECT_EQ(log.take().back(), "top");
    g->WMVScroll(SB_THUMBPOSITION, 1000);
    EXPECT_EQ(h.cds->RecNo(), 100);
    g->WMVScroll(SB_THUMBPOSITION, 0);
    EXPECT_EQ(h.cds->RecNo(), 1);
    g->WMVScroll(SB_BOTTOM, 0);
    EXPECT_EQ(h.cds->RecNo(), 100);
    expectWindow(h);
    // Line down on the last record of a browsing dataset moves nothing.
    g->WMVScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(h.cds->RecNo(), 100);
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(g->Row(), 10);
    g->WMVScroll(SB_TOP, 0);
    EXPECT_EQ(h.cds->RecNo(), 1);
    // Thumb tracking moves nothing; a pending edit is posted before the thumb moves.
    g->WMVScroll(SB_THUMBTRACK, 50);
    EXPECT_EQ(h.cds->RecNo(), 1);
    h.cds->Edit();
    h.Field("CUST_NAME")->SetAsString("changed");
    g->WMVScroll(SB_THUMBPOSITION, 30);
    EXPECT_EQ(h.cds->State(), dsBrowse);
    h.cds->First();
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), "changed");
    // An unchanged new record: line down cancels it.
    h.cds->Insert();
    g->WMVScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(h.cds->State(), dsBrowse);
}

TEST(RecordWindow, AWalkWithTheGridFollowingLeavesTheBarOnTheLastRecord) {
    GridHarness h(CustomersDb(300));
    h.ShowLikeTheWindow();
    TkxDBGrid* g = h.grid;
    QScrollBar* shown = nullptr;
    for (QScrollBar* b : g->Widget()->findChildren<QScrollBar*>())
        if (b->orientation() == Qt::Vertical) shown = b;
    ASSERT_NE(shown, nullptr);
    h.cds->RecordCount();
    Application->ProcessMessages();
    // Every record in turn with no paint between, as the window's confirmation walks them.
    for (h.cds->First(); !h.cds->Eof(); h.cds->Next()) {
    }
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "C0300");
    EXPECT_EQ(bar(g).pos, 300);
    expectWindow(h);
    Application->ProcessMessages();
    EXPECT_EQ(shown->value(), 300);
    // Once painted, a move shows on the bar at once.
    SendKey(g, VK_PRIOR);
    EXPECT_EQ(shown->value(), bar(g).pos);
    EXPECT_LT(bar(g).pos, 300);
}

TEST(RecordWindow, EscapeRestoresTheEditorThenAsksToDiscardTheRecord) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    std::vector<AnsiString> asked;
    int answer = IDNO;
    MessageBoxHook = [&](const AnsiString& text, const AnsiString&, unsigned flags) {
        asked.push_back(text);
        EXPECT_EQ(flags & 0xF, unsigned(MB_YESNO));
        return answer;
    };
    TkxGridDataLink& link = h.grid->DataLink();
    // Typed but unwritten: the first Escape only takes the typing back.
    h.cds->Edit();
    link.SetModified();
    link.ResetEdit();
    EXPECT_FALSE(link.Modified());
    EXPECT_EQ(h.cds->State(), dsEdit);
    // Unmodified record: cancelled without asking.
    link.ResetEdit();
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_TRUE(asked.empty());
    // Modified record: asked; No keeps it, Yes discards it.
    h.cds->Edit();
    h.Field("CUST_NAME")->SetAsString("changed");
    link.ResetEdit();
    EXPECT_EQ(asked, std::vector<AnsiString>{"Discard changes to this record?"});
    EXPECT_EQ(h.cds->State(), dsEdit);
    // The text is the settings object's at the moment of asking.
    const AnsiString standard = kxProcessIntl->UserMessages()->kxDBGridDiscardChanges();
    kxProcessIntl->UserMessages()->SetkxDBGridDiscardChanges(Ansi("放棄這筆修改?"));
    answer = IDYES;
    link.ResetEdit();
    kxProcessIntl->UserMessages()->SetkxDBGridDiscardChanges(standard);
    EXPECT_EQ(asked.back(), Ansi("放棄這筆修改?"));
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(h.Field("CUST_NAME")->AsString(), Ansi("外功客1"));
    MessageBoxHook = nullptr;
}

TEST(RecordWindow, FieldMapCapacityAndItsLimit) {
    GridHarness h(CustomersDb(0));
    TkxGridDataLink& link = h.grid->DataLink();
    std::vector<int> capacities;
    for (int i = 0; i < TkxGridDataLink::kMaxMappedFields; ++i) {
        link.AddMapping(i);
        if (capacities.empty() || capacities.back() != link.MapCapacity())
            capacities.push_back(link.MapCapacity());
    }
    EXPECT_EQ(capacities.front(), 8);
    EXPECT_EQ(capacities[1], 16);
    EXPECT_EQ(capacities.back(), 16380);
    try {
        link.AddMapping(0);
        ADD_FAILURE() << "no error";
    } catch (const EInvalidGridOperation& e) {
        EXPECT_EQ(e.Message(), "Grid requested to display more than 256 columns");
    }
    EXPECT_EQ(link.MappedCount(), 16380);
    EXPECT_EQ(link.MappedField(0), nullptr); // inactive: no field
    link.ClearMapping();
}
