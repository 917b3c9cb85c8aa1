// The customer find over real customers: which record a text reaches from which record (a code by its
// start, a name anywhere, ASCII letters in either case, whole Big5 characters only, wrapping), and the
// find bar around it (no match tints the box and beeps; Escape hides it, the record stays, the grid
// gets the focus and its place back).
#include "grid/support/GridFixture.h"
#include "ui/Dialogs.h"
#include "ui/FindBar.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

namespace {
// 大 and 乃 end in the bytes "j" and "D".
const char* const kShop = "INSERT INTO CUSTOMER VALUES ('A0001', 'Acme 貿易', 'A');"
                          "INSERT INTO CUSTOMER VALUES ('B0002', '大同', 'A');"
                          "INSERT INTO CUSTOMER VALUES ('ab003', 'xyz', 'A');"
                          "INSERT INTO CUSTOMER VALUES ('C0004', '張三', 'A');"
                          "INSERT INTO CUSTOMER VALUES ('D0005', 'JOHN smith', 'A');"
                          "INSERT INTO CUSTOMER VALUES ('E0006', '乃文', 'A')";

const TestDatabase& shop() {
    static const TestDatabase db(kShop);
    return db;
}

struct Harness : GridHarness {
    Harness() : GridHarness(shop()) {
        grid->SetAlign(alClient);
        ShowLikeTheWindow();
        grid->SetFindFields({{"CUST_ID", true}, {"CUST_NAME", false}});
    }
};
} // namespace

TEST(Find, ReachesTheRecordTheRulesName) {
    struct Case {
        int from;
        const char* text;  // UTF-8
        int direction;
        bool skipCurrent;
        int reached;  // 0: none, the record stays
    };
    // In code order: A0001, B0002, C0004, D0005, E0006, ab003.
    const Case cases[] = {
        {1, "b0", 0, false, 2},     // a code by its start, either case
        {1, "AB", 0, false, 6},     //
        {1, "0004", 0, false, 0},   // a code only by its start
        {1, "SMITH", 0, false, 4},  // a name anywhere, either case
        {1, "j", 0, false, 4},      // the trail byte of 大 starts no match
        {5, "d", 0, false, 4},      // nor that of 乃; from the current record on, wrapping
        {3, "張三", 0, false, 3},   // the current record matches: it stays
        {2, "貿", 0, false, 1},     // a Chinese name part, wrapping
        {6, "a", 1, true, 1},       // the next match, wrapping
        {1, "a", -1, true, 6},      // the previous match, wrapping backwards
        {6, "ab", 1, true, 6},      // the only match is the current record: found again
        {1, "zz", 0, false, 0},     //
    };
    Harness h;
    // With every customer held, and with customers read two at a time as the search reaches them.
    for (int packet : {-1, 2})
        for (const Case& c : cases) {
            if (packet > 0) {
                h.cds->Close();
                h.cds->SetPacketRecords(packet);
                h.cds->Open();
            }
            h.cds->SetRecNo(c.from);
            const bool found = h.grid->FindRecord(Ansi(c.text), c.direction, c.skipCurrent);
            EXPECT_EQ(found, c.reached != 0) << c.text << " from " << c.from << " packet " << packet;
            EXPECT_EQ(h.cds->RecNo(), c.reached ? c.reached : c.from) << c.text << " from " << c.from;
        }
}

TEST(Find, TheBarShowsNoMatchAndEscapeGivesTheListBack) {
    Harness h;
    int beeps = 0;
    MessageBeepHook = [&] { ++beeps; };
    const TRect place = h.grid->BoundsRect();
    EXPECT_EQ(h.grid->FindBar(), nullptr);
    ASSERT_TRUE(h.grid->FindKey('F', {ssCtrl}));
    TFindBar* bar = h.grid->FindBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->Box()->Focused());
    EXPECT_EQ(bar->Top(), h.grid->Top() + h.grid->Height());
    SendText(bar->Box(), "C0");
    EXPECT_EQ(h.cds->RecNo(), 3);
    SendText(bar->Box(), "x");
    EXPECT_TRUE(bar->NotFound());
    EXPECT_EQ(bar->Box()->Color(), TFindBar::kNotFoundColor);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(h.cds->RecNo(), 3);
    SendKey(bar->Box(), VK_BACK);
    EXPECT_FALSE(bar->NotFound());
    SendKey(bar->Box(), VK_SPACE, {}, " ");  // typed into the box, never a tick
    EXPECT_EQ(h.cds->State(), dsBrowse);
    SendKey(bar->Box(), VK_ESCAPE);
    EXPECT_FALSE(bar->Visible());
    EXPECT_TRUE(h.grid->Focused());
    EXPECT_EQ(h.cds->RecNo(), 3);
    EXPECT_EQ(h.grid->BoundsRect(), place);
    MessageBeepHook = nullptr;
}
