// The stored layout value: what joining writes and what reading makes of it, and a bounded fuzz
// test of the reader over arbitrary bytes.
#include "grid/support/CodePageScope.h"
#include "grid/support/KxIniAttributes.h"

#include <gtest/gtest.h>

#include <random>

TEST(LayoutValue, ReadingTurnsEveryDelimiterIntoATab) {
    AnsiString line;
    ASSERT_TRUE(LayoutEntryToListLine({"F", "8;;Title;;F;;Group"}, ";;", line));
    EXPECT_EQ(line, "F\t8\tTitle\tF\tGroup");
    // A title holding the delimiter splits into more parts; ";;;" reads as one delimiter and a ";".
    ASSERT_TRUE(LayoutEntryToListLine({"F", "8;;a;;b;;;T"}, ";;", line));
    EXPECT_EQ(line, "F\t8\ta\tb\t;T");
    // Case counts: "ab" is no delimiter "AB".
    EXPECT_FALSE(LayoutEntryToListLine({"F", "8abTitle"}, "AB", line));
    EXPECT_FALSE(LayoutEntryToListLine({"F", "8"}, ";;", line));
    EXPECT_FALSE(LayoutEntryToListLine({"F", "8;;T"}, "", line));
    // Big5: 功 is A5 5C, so a "\" delimiter never matches its second byte.
    ASSERT_TRUE(LayoutEntryToListLine({"F", Ansi("8\\功\\F")}, "\\", line));
    EXPECT_EQ(line, Ansi("F\t8\t功\tF"));
    EXPECT_FALSE(LayoutEntryToListLine({"F", Ansi("8功")}, "\\", line));

    EXPECT_EQ(JoinLayoutValue({"8", Ansi("客戶代號"), "F"}, ";;"), Ansi("8;;客戶代號;;F"));
    EXPECT_EQ(JoinLayoutValue({"4", "T", ""}, "|"), "4|T|");
}

TEST(LayoutValue, FuzzedValuesReadSafely) {
    // Only what must always hold: no crash, no read outside the value, and a line that is the name,
    // a tab and the value with delimiters made tabs (so no longer than name + 1 + value).
    std::mt19937 rng(14);
    const char alphabet[] = {';', ';', '\\', '~', '\t', 'a', '8', char(0xA5), char(0x5C), char(0xA4), '\0'};
    for (const char* page : {"BIG5", "UTF-8"}) {
        CodePageScope scope(page);
        for (int round = 0; round < 20000; ++round) {
            AnsiString value(rng() % 24, ' ');
            for (char& c : value)
                c = alphabet[rng() % sizeof alphabet];
            AnsiString delimiter(1 + rng() % 3, ' ');
            for (char& c : delimiter)
                c = alphabet[rng() % 5];
            AnsiString line;
            if (LayoutEntryToListLine({"N", value}, delimiter, line)) {
                ASSERT_LE(line.size(), 2 + value.size());
                ASSERT_EQ(line.substr(0, 2), "N\t");
            } else {
                ASSERT_TRUE(line.empty());
            }
        }
    }
}
