// The grid's date/time picker and its drop-down calendar over real Firebird DATE and TIMESTAMP
// columns: Alt+Down in the picker and on its cell, a chosen day written with the time of day kept,
// a null date opening on today, Escape, and a read-only picker that changes nothing.
#include "grid/KxDBDateTimePicker.h"
#include "grid/support/GridFixture.h"
#include "grid/support/KxIntl.h"
#include "ui/DropDownCalendar.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {
const TestDatabase& stampedDb() {
    static TestDatabase db("CREATE TABLE STAMPED (ID VARCHAR(10) NOT NULL PRIMARY KEY, STAMP TIMESTAMP, "
                           "BDATE DATE, NAME VARCHAR(20));"
                           "INSERT INTO STAMPED VALUES ('S1', '2024-01-15 13:30:00', NULL, 'one');"
                           "INSERT INTO STAMPED VALUES ('S2', '2024-02-28 08:00:00', '2023-06-30', 'two')");
    return db;
}
const char* const kStampedSql = "select ID, STAMP, BDATE, NAME from STAMPED order by ID";
constexpr int kStamp = 1, kDate = 2;

TDateTime today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

struct PickerHarness : GridHarness {
    PickerHarness() : GridHarness(stampedDb(), kStampedSql) {
        grid->SetDataSource(source);
        cds->Open();
        Show();
    }
    // The picker over a date column's current cell, shown (and focused with dgAlwaysShowEditor).
    TkxDBCustomDateTimePicker* pickerOn(int dataCol) {
        grid->SelectColumn(dataCol);
        grid->ShowEmbeddedControl();
        return grid->DateTimePicker();
    }
};
} // namespace

TEST(DateTimePicker, AltDownOpensTheCalendarAndAChosenDayKeepsTheTimeOfDay) {
    PickerHarness h;
    TkxDBGrid* g = h.grid;
    g->SetOptions(g->Options() + TkxDBGridOptions{dgAlwaysShowEditor});
    TkxDBCustomDateTimePicker* picker = h.pickerOn(kStamp);
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->Focused());
    const int row = g->Row();

    // Alt+Down typed into the picker opens its calendar on the field's day; no record moves.
    SendKey(nullptr, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    EXPECT_EQ(picker->Calendar()->Date(), EncodeDate(2024, 1, 15));
    EXPECT_EQ(g->Row(), row);
    EXPECT_EQ(h.Field("ID")->AsString(), "S1");
    EXPECT_EQ(picker->Calendar()->YearHint(), kxProcessIntl->MonthCalendar()->PopupYearLabel());
    EXPECT_EQ(picker->Calendar()->YearPrompt(), "Enter Valid Year");

    // A day chosen with the keys goes into the field through an edit of the record; 13:30 stays.
    SendKey(nullptr, VK_RIGHT);
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_DOUBLE_EQ(h.Field("STAMP")->AsDateTime(), EncodeDate(2024, 1, 16) + EncodeTime(13, 30, 0, 0));
    EXPECT_TRUE(picker->Focused());
    EXPECT_EQ(picker->Text(), h.Field("STAMP")->Text());
    h.cds->Post();
    EXPECT_DOUBLE_EQ(h.Field("STAMP")->AsDateTime(), EncodeDate(2024, 1, 16) + EncodeTime(13, 30, 0, 0));
}

TEST(DateTimePicker, AltDownOnTheCellOpensTheShownPickerAndEscapeChangesNothing) {
    PickerHarness h;
    TkxDBGrid* g = h.grid;
    TkxDBCustomDateTimePicker* picker = h.pickerOn(kStamp);
    ASSERT_TRUE(picker->Visible());
    ASSERT_TRUE(g->Focused());
    SendKey(g, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    SendKey(nullptr, VK_LEFT);
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_TRUE(picker->Focused());
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_DOUBLE_EQ(h.Field("STAMP")->AsDateTime(), EncodeDate(2024, 1, 15) + EncodeTime(13, 30, 0, 0));

    // A null date opens on today, and the chosen day is all the field gets.
    h.cds->First();
    picker = h.pickerOn(kDate);
    ASSERT_TRUE(h.Field("BDATE")->IsNull());
    SendKey(g, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    EXPECT_EQ(picker->Calendar()->Date(), today());
    SendKey(nullptr, VK_RETURN);
    EXPECT_EQ(h.Field("BDATE")->AsDateTime(), today());
    h.cds->Cancel();
}

TEST(DateTimePicker, AReadOnlyPickerShowsItsCalendarButChangesNothing) {
    PickerHarness h;
    h.cds->Last();
    h.Field("BDATE")->SetReadOnly(true);
    TkxDBCustomDateTimePicker* picker = h.pickerOn(kDate);
    ASSERT_TRUE(picker->ReadOnly());
    SendKey(h.grid, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    EXPECT_EQ(picker->Calendar()->Date(), EncodeDate(2023, 6, 30));
    SendKey(nullptr, VK_RIGHT);
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(h.Field("BDATE")->AsDateTime(), EncodeDate(2023, 6, 30));
}
