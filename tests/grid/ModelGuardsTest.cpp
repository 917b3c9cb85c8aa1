// Guards of the grid's model over real customers: an embedded-control name that would make the grid
// its own parent, a footer handler that walks the dataset, a top-row handler that raises.
#include "core/Exception.h"
#include "grid/support/GridFixture.h"
#include "ui/Input.h"
#include "ui/Panel.h"

#include <gtest/gtest.h>

TEST(ModelGuards, TheGridOrAControlHoldingItIsNoEmbeddedControl) {
    for (const char* name : {"Grid", "Panel1"}) {
        SCOPED_TRACE(name);
        GridHarness h(CustomersDb(10));
        auto* panel = new TPanel(h.form);
        panel->SetName("Panel1");
        panel->SetParent(h.form);
        panel->SetBounds(0, 0, 600, 400);
        TkxDBGrid* g = h.grid;
        g->SetParent(panel);
        g->SetControlType(TStringList{AnsiString("CUST_NAME;CustomEdit;") + name + ";T"});
        g->SetDataSource(h.source);
        h.cds->Open();
        h.Show();
        // The user goes to the cell and edits it: a plain text cell.
        SendKey(g, VK_RIGHT);
        SendKey(g, VK_F2);
        EXPECT_EQ(g->Col(), 2);
        EXPECT_EQ(g->Parent(), panel);
        EXPECT_EQ(panel->Parent(), h.form);
        EXPECT_EQ(g->GetParentForm(), h.form);
        EXPECT_EQ(g->CacheItem(2).Type, "");
        EXPECT_EQ(g->FindEmbeddedControl(2, 1), nullptr);
        EXPECT_FALSE(g->IsControlCell(2, 1));
        EXPECT_TRUE(g->EditorMode());
    }
}

TEST(ModelGuards, AFooterHandlerThatWalksTheDatasetRunsOnce) {
    GridHarness h(CustomersDb(10));
    h.ShowLikeTheWindow();
    int calls = 0, total = 0;
    h.grid->OnUpdateFooter = [&](TObject*) {
        ++calls;
        total = 0;
        h.cds->DisableControls();
        for (h.cds->First(); !h.cds->Eof(); h.cds->Next())
            ++total;
        h.cds->EnableControls();
    };
    // A record edited and given up leaves the footer to recompute.
    h.cds->Edit();
    h.cds->Cancel();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(total, 10);
}

TEST(ModelGuards, ARaisingTopRowHandlerLeavesTheRecordWindowWhole) {
    GridHarness h(CustomersDb(300));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(20);
    TkxDBGrid* g = h.grid;
    h.cds->MoveBy(14);
    g->OnTopRowChanged = [](TObject*) { throw Exception("top row refused"); };
    // Shrinking below the current row asks the handler, which raises.
    EXPECT_THROW(h.SetVisibleRows(10), Exception);
    EXPECT_EQ(g->DataLink().BufferCount(), 10);
    EXPECT_EQ(g->RowCount(), 11);
    EXPECT_EQ(g->Row(), 10);
    EXPECT_EQ(h.cds->RecNo(), 15);
}
