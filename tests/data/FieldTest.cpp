#include "core/Exception.h"
#include "data/DBFormat.h"
#include "data/VectorDataSet.h"

#include <gtest/gtest.h>

TEST(Field, TextRulesConversionsAndValidCharacters) {
    TComponent owner(nullptr);
    auto* ds = new TVectorDataSet(&owner, 0);
    ds->AddRow(std::nullopt, std::nullopt);
    ds->Open();
    TField* id = ds->FieldByName("ID");
    TField* name = ds->FieldByName("NAME");
    // Null reads as empty text.
    EXPECT_EQ(id->AsString(), "");
    EXPECT_EQ(id->DisplayText(), "");
    EXPECT_EQ(name->Text(), "");
    EXPECT_EQ(id->Alignment(), taRightJustify);
    EXPECT_EQ(name->Alignment(), taLeftJustify);
    EXPECT_EQ(name->DisplayWidth(), 10);  // from the size

    ds->Edit();
    // Text stops at the first zero byte; longer text is cut at the size, never inside a Big5 character.
    name->SetAsString(AnsiString("ab\0cd", 5));
    EXPECT_EQ(name->AsString(), "ab");
    AnsiString big5 = Ansi("客戶代號名稱");  // 12 bytes
    name->SetAsString("x" + big5);
    EXPECT_EQ(name->AsString(), "x" + Ansi("客戶代號"));
    name->SetText(Ansi("選擇"));
    EXPECT_EQ(name->DisplayText(), Ansi("選擇"));

    id->SetText("42");
    EXPECT_EQ(id->AsFloat(), 42.0);
    try {
        id->SetText("4x");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'4x' is not a valid integer value");
    }
    EXPECT_EQ(id->AsInteger(), 42);
    EXPECT_THROW(id->AsDateTime(), EDatabaseError);  // "Cannot access field 'ID' as type DateTime"
    static_cast<TNumericField*>(id)->SetDisplayFormat("#,##0.00");
    id->SetAsInteger(1234567);
    EXPECT_EQ(id->DisplayText(), "1,234,567.00");
    EXPECT_EQ(id->Text(), "1,234,567.00");  // without an edit format the display format serves editing too
    static_cast<TNumericField*>(id)->SetEditFormat("0");
    EXPECT_EQ(id->Text(), "1234567");
    id->SetText("");
    EXPECT_TRUE(id->IsNull());
    EXPECT_TRUE(id->IsValidChar('7'));
    EXPECT_FALSE(id->IsValidChar('a'));
    EXPECT_TRUE(name->IsValidChar('\xA5'));
    EXPECT_FALSE(id->IsValidChar('.'));
    // A quantity such as 12.5 can be typed into a float or decimal field.
    TFloatField qty(nullptr);
    TBCDField price(nullptr);
    for (char c : std::string("12.5e-3"))
        EXPECT_TRUE(qty.IsValidChar(c)) << c;
    EXPECT_TRUE(price.IsValidChar('.'));
    EXPECT_FALSE(price.IsValidChar('e'));
    ds->Cancel();

    // Field classes the grid tests for.
    TDateField date(nullptr);
    TMemoField memo(nullptr);
    EXPECT_TRUE(date.InheritsFrom("TDateTimeField"));
    EXPECT_TRUE(memo.IsBlob());
    EXPECT_TRUE(memo.InheritsFrom("TBlobField"));
    TSmallintField small(nullptr);
    EXPECT_EQ(small.DataSize(), 2);
    EXPECT_STREQ(FieldTypeName(ftTimeStamp), "SQLTimeStamp");
    EXPECT_EQ(BaseFieldType(ftAutoInc), ftInteger);
    EXPECT_EQ(BaseFieldType(ftFixedChar), ftString);
}

TEST(DBFormat, NumbersAndDates) {
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1,234.50");
    EXPECT_EQ(FormatFloat("#,##0.00", -1234.5), "-1,234.50");
    EXPECT_EQ(FormatFloat("#,##0.00;(#,##0.00)", -12), "(12.00)");
    EXPECT_EQ(FormatFloat("0.##", 2.5), "2.5");
    EXPECT_EQ(FormatFloat("0", 2.5), "3");
    EXPECT_EQ(FormatFloat("#.##", 0.25), ".25");
    EXPECT_EQ(FormatFloat("0.00;-0.00;\"zero\"", 0.001), "zero");
    EXPECT_EQ(FormatFloat("", 0.1), "0.1");

    TDateTime d = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 0);
    EXPECT_EQ(d, 45356.0 + (14 * 3600 + 7 * 60 + 9) / 86400.0);
    EXPECT_EQ(DateTimeToStr(d), "2024/03/05 14:07:09");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:mm", d), "2024-03-05 14:07");
    EXPECT_EQ(DateToStr(EncodeDate(1899, 12, 30)), "1899/12/30");
    EXPECT_EQ(DateToStr(EncodeDate(1800, 1, 1)), "1800/01/01");
    EXPECT_EQ(StrToDateTime("2024/3/5 14:07:09"), d);
    EXPECT_EQ(StrToDate("24/3/5"), EncodeDate(2024, 3, 5));
    EXPECT_THROW(StrToDate("2024/2/30"), EConvertError);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
}
