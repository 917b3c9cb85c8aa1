// The grid over more customers than the first packet brings: it shows at once, its bar spanning the
// records held; the idle reader brings the rest while the message loop has nothing else to do, the
// bar growing until it settles on the count. What needs every record reads them at once; a read that
// fails in idle time is told once and the records held stay.
#include "core/Format.h"
#include "grid/support/GridFixture.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/IdleReader.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
constexpr int kCustomers = 3000;

int barMax(const TkxDBGrid* g) { return g->GetScrollInfo(sbVertical).Max; }

void readWhileIdle() {
    while (IdleReader()->IsReading())
        Application->ProcessMessages();
}
} // namespace

TEST(IdleReading, TheBarGrowsWithTheRecordsHeldAndSettlesOnTheCount) {
    GridHarness h(CustomersDb(kCustomers));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(10);
    TkxDBGrid* g = h.grid;
    h.cds->MoveBy(5);
    int held = h.cds->HeldRecordCount();
    ASSERT_LT(held, kCustomers);
    EXPECT_EQ(barMax(g), held + 9);
    ASSERT_TRUE(IdleReader()->IsReading());
    for (int packets = 0; IdleReader()->Step(); ++packets) {
        ASSERT_GT(h.cds->HeldRecordCount(), held) << packets;
        held = h.cds->HeldRecordCount();
        EXPECT_EQ(barMax(g), held + 9);
    }
    EXPECT_TRUE(h.cds->AllRecordsHeld());
    EXPECT_EQ(barMax(g), kCustomers + 9);
    EXPECT_EQ(g->GetScrollInfo(sbVertical).Pos, 6);  // reading moved nothing
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), "C0006");
}

TEST(IdleReading, WhatNeedsEveryRecordReadsThemAtOnce) {
    struct Case {
        const char* what;
        std::function<void(TkxDBGrid*)> act;
        int recNo;
        bool allHeld;
    };
    const Case cases[] = {
        {"Ctrl+End", [](TkxDBGrid* g) { SendKey(g, VK_END, TShiftState{ssCtrl}); }, kCustomers, true},
        {"the thumb released at the bar's end",
         [](TkxDBGrid* g) { g->WMVScroll(SB_THUMBPOSITION, barMax(g) - g->VisibleRowCount() + 1); }, kCustomers,
         true},
        {"the thumb released among the records held", [](TkxDBGrid* g) { g->WMVScroll(SB_THUMBPOSITION, 50); }, 50,
         false},
    };
    for (const Case& c : cases) {
        GridHarness h(CustomersDb(kCustomers));
        h.ShowLikeTheWindow();
        c.act(h.grid);
        EXPECT_EQ(h.cds->RecNo(), c.recNo) << c.what;
        EXPECT_EQ(h.cds->AllRecordsHeld(), c.allHeld) << c.what;
        readWhileIdle();
        EXPECT_EQ(h.cds->RecNo(), c.recNo) << c.what;
        EXPECT_EQ(barMax(h.grid), kCustomers + h.grid->VisibleRowCount() - 1) << c.what;
    }
}

TEST(IdleReading, AReadThatFailsInIdleTimeIsToldOnceAndTheRecordsHeldStay) {
    // The customer of code C2000 cannot be read: the server divides by zero on it.
    GridHarness h(CustomersDb(kCustomers),
                  "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER where "
                  "1 / (2000 - cast(substring(CUST_ID from 2) as integer)) <> 2 ORDER BY CUST_ID");
    std::vector<AnsiString> boxes;
    MessageBoxHook = [&](const AnsiString& text, const AnsiString&, unsigned) {
        boxes.push_back(text);
        return IDOK;
    };
    h.ShowLikeTheWindow();
    readWhileIdle();
    SendKey(h.grid, VK_NEXT);
    Application->ProcessMessages();
    MessageBoxHook = nullptr;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("divide by zero"), AnsiString::npos) << boxes[0];
    const int held = h.cds->HeldRecordCount();
    EXPECT_GT(held, 100);
    EXPECT_LT(held, 2000);
    EXPECT_TRUE(h.cds->AllRecordsHeld());
    EXPECT_EQ(barMax(h.grid), held + h.grid->VisibleRowCount() - 1);
    h.cds->Last();
    EXPECT_EQ(h.cds->RecNo(), held);
    EXPECT_EQ(h.Field("CUST_ID")->AsString(), Format("C%.4d", held));
}
