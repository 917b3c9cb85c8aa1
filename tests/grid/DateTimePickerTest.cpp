// The grid's date/time picker and its drop-down calendar over real Firebird TIMESTAMP and DATE
// columns: Alt+Down in the picker and on its cell, a chosen day written with the time of day kept,
// a null date opening on today, Escape, and a read-only picker that changes nothing.
#include "grid/KxDBDateTimePicker.h"
#include "grid/support/GridFixture.h"
#include "ui/DropDownCalendar.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {
const TestDatabase& stampedDb() {
    static TestDatabase db("CREATE TABLE STAMPED (ID VARCHAR(10) NOT NULL PRIMARY KEY, STAMP TIMESTAMP, "
                           "BDATE DATE);"
                           "INSERT INTO STAMPED VALUES ('S1', '2024-01-15 13:30:00', NULL);"
                           "INSERT INTO STAMPED VALUES ('S2', '2024-02-28 08:00:00', '2023-06-30')");
    return db;
}
constexpr int kStamp = 1, kDate = 2;

// The picker shown over a column's current cell of a grid on STAMPED.
TkxDBCustomDateTimePicker* pickerOn(GridHarness& h, int dataCol) {
    if (!h.cds->Active()) {
        h.grid->SetDataSource(h.source);
        h.cds->Open();
        h.Show();
    }
    h.grid->SetFocus();
    h.grid->SelectColumn(dataCol);
    h.grid->ShowEmbeddedControl();
    return h.grid->DateTimePicker();
}
} // namespace

TEST(DateTimePicker, AltDownInThePickerOpensTheCalendarAndAChosenDayKeepsTheTime) {
    GridHarness h(stampedDb(), "select ID, STAMP, BDATE from STAMPED order by ID");
    h.grid->SetOptions(h.grid->Options() + TkxDBGridOptions{dgAlwaysShowEditor});
    TkxDBCustomDateTimePicker* picker = pickerOn(h, kStamp);
    ASSERT_TRUE(picker->Focused());
    // Typed into the picker, Alt+Down is its own: no record moves.
    SendKey(nullptr, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    EXPECT_EQ(picker->Calendar()->Date(), EncodeDate(2024, 1, 15));
    EXPECT_EQ(h.Field("ID")->AsString(), "S1");
    EXPECT_EQ(picker->Calendar()->YearPrompt(), "Enter Valid Year");
    SendKey(nullptr, VK_RIGHT);
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(h.cds->State(), dsEdit);
    EXPECT_DOUBLE_EQ(h.Field("STAMP")->AsDateTime(), EncodeDate(2024, 1, 16) + EncodeTime(13, 30, 0, 0));
    EXPECT_TRUE(picker->Focused());
    EXPECT_EQ(picker->Text(), h.Field("STAMP")->Text());
}

TEST(DateTimePicker, AltDownOnTheCellEscapeANullDateAndAReadOnlyPicker) {
    GridHarness h(stampedDb(), "select ID, STAMP, BDATE from STAMPED order by ID");
    TkxDBCustomDateTimePicker* picker = pickerOn(h, kStamp);
    ASSERT_TRUE(h.grid->Focused());
    SendKey(h.grid, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    SendKey(nullptr, VK_LEFT);
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_TRUE(picker->Focused());
    EXPECT_EQ(h.cds->State(), dsBrowse);

    // A null date opens on today, and the chosen day is all the field gets.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const TDateTime today = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    picker = pickerOn(h, kDate);
    SendKey(h.grid, VK_DOWN, {ssAlt});
    EXPECT_EQ(picker->Calendar()->Date(), today);
    SendKey(nullptr, VK_RETURN);
    EXPECT_EQ(h.Field("BDATE")->AsDateTime(), today);
    h.cds->Cancel();

    // Read-only, the picker shows its calendar and changes nothing.
    h.cds->Last();
    h.Field("BDATE")->SetReadOnly(true);
    h.grid->SelectColumn(kStamp); // the picker takes the flag when its column becomes current
    picker = pickerOn(h, kDate);
    ASSERT_TRUE(picker->ReadOnly());
    SendKey(h.grid, VK_DOWN, {ssAlt});
    ASSERT_TRUE(picker->DroppedDown());
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(picker->DroppedDown());
    EXPECT_EQ(h.cds->State(), dsBrowse);
    EXPECT_EQ(h.Field("BDATE")->AsDateTime(), EncodeDate(2023, 6, 30));
}
