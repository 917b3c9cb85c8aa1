// The list line formats: the column list's field reader and writer, splitting at separators, and
// Big5 characters whose second byte is a separator's code.
#include "core/Exception.h"
#include "grid/KxListLines.h"

#include <gtest/gtest.h>

#include <random>

TEST(ListLines, FieldReaderRules) {
    const AnsiString window = Ansi("SELECT_YN\t4\t選擇\t\t");
    EXPECT_EQ(ListLineField(window, 0), "SELECT_YN");
    EXPECT_EQ(ListLineField(window, 1), "4");
    EXPECT_EQ(ListLineField(window, 2), Ansi("選擇"));
    EXPECT_EQ(ListLineField(window, 3), "F"); // an empty flag reads as "F"
    EXPECT_EQ(ListLineField(window, 4), "");
    // Past the end every field is empty; the last one read runs to the end of the line.
    EXPECT_EQ(ListLineField("CUST_ID", 0), "CUST_ID");
    EXPECT_EQ(ListLineField("CUST_ID", 1), "");
    EXPECT_EQ(ListLineField("CUST_ID", 3), "F");
    EXPECT_EQ(ListLineField("A\t1\tT\tt", 3), "t");
    // Text behind a fifth tab is never read.
    EXPECT_EQ(ListLineField("A\t1\tT\tT\tGroup\tmore\tstill", 4), "Group");
    EXPECT_EQ(ListLineField("A\t1\tT\tT\tGroup\tmore", 5), "");
}

TEST(ListLines, FieldWriterDropsEmptyGroupsAndWritesTheFlag) {
    EXPECT_EQ(SetListLineField(Ansi("SELECT_YN\t4\t選擇\t\t"), 1, "5"), Ansi("SELECT_YN\t5\t選擇\tF"));
    EXPECT_EQ(SetListLineField(Ansi("CUST_CLASSID\t8\t客戶類別\tT"), 1, "9"),
              Ansi("CUST_CLASSID\t9\t客戶類別\tT"));
    EXPECT_EQ(SetListLineField("A\t1\tTitle\tt\tG", 1, "12"), "A\t12\tTitle\tt\tG");
    EXPECT_EQ(SetListLineField("A", 1, "3"), "A\t3\t\tF");
    EXPECT_EQ(SetListLineField("A\t1\tT\tT\tG\textra", 4, ""), "A\t1\tT\tT");
}

TEST(ListLines, SplittingNeverCutsABig5Character) {
    // 外 is A5 7E and 功 is A5 5C: their second bytes are "~" and "\".
    const AnsiString outer = Ansi("外"), merit = Ansi("功");
    ASSERT_EQ(outer, "\xA5\x7E");
    ASSERT_EQ(merit, "\xA5\x5C");
    std::vector<AnsiString> pieces = SplitListLine(Ansi("外才~品"), '~');
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], Ansi("外才"));
    EXPECT_EQ(pieces[1], Ansi("品"));
    EXPECT_EQ(SplitListLine(Ansi("功~外"), '~'), (std::vector<AnsiString>{merit, outer}));
    EXPECT_EQ(SplitListLine("", ';'), std::vector<AnsiString>{""});
    EXPECT_EQ(SplitListLine("a;;b;", ';'), (std::vector<AnsiString>{"a", "", "b", ""}));
    EXPECT_EQ(ListLineTail("F;CustomEdit;ed;T;more", ';', 2), "ed;T;more");
    EXPECT_EQ(ListLineTail("F;CheckBox", ';', 2), "");
    EXPECT_EQ(ListLineTail(Ansi("F;外;功;才"), ';', 2), Ansi("功;才"));
    try {
        ListLinePart(SplitListLine("F;Combo", ';'), 2);
        ADD_FAILURE() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
}

TEST(ListLines, BoundedFuzzOfLinesWithSeparatorsAndLeadBytes) {
    // Lines of separators, letters and Big5 characters (whole): the reader stays inside the line,
    // a written line reads back as written, and the parts of a split join back to the line.
    std::mt19937 random(12345);
    const AnsiString tokens[] = {"\t", ";", "~",        "\\",       "A",        "T",
                                 "1",  " ", "\xA5\x7E", "\xA5\x5C", "\xA4\x40", "\xF9\xFE"};
    for (int round = 0; round < 4000; ++round) {
        AnsiString line;
        const int length = int(random() % 24);
        for (int i = 0; i < length; ++i)
            line += tokens[random() % std::size(tokens)];
        for (char sep : {'\t', ';', '~'}) {
            std::vector<AnsiString> parts = SplitListLine(line, sep);
            AnsiString joined;
            for (size_t i = 0; i < parts.size(); ++i)
                joined += (i ? AnsiString(1, sep) : AnsiString()) + parts[i];
            ASSERT_EQ(joined, line);
        }
        for (int field = 0; field < 6; ++field)
            ASSERT_LE(ListLineField(line, field).size(), std::max<size_t>(line.size(), 1));
        AnsiString written = SetListLineField(line, 1, "7");
        ASSERT_EQ(ListLineField(written, 1), "7");
        ASSERT_EQ(ListLineField(written, 0), ListLineField(line, 0));
        ASSERT_EQ(ListLineField(written, 2), ListLineField(line, 2));
        ASSERT_EQ(ListLineField(written, 3), ListLineField(line, 3));
    }
}
