// Parameter markers in statement texts: a colon and a name, outside quoted text.
#include "data/Params.h"
#include "core/AnsiString.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

TEST(Params, AStrayLeadByteBeforeAQuoteIsAByteOfItsOwn) {
    // The bill number "\xA5':X" pasted as a literal: the server reads the lead byte alone, then a
    // doubled quote, so ":X" is inside the literal and no parameter.
    std::string statement = "SELECT * FROM SAL_SUB  WHERE MASTERBILLID = '\xA5'':X'";
    std::vector<AnsiString> names;
    EXPECT_EQ(TParams::MarkersToQuestionMarks(statement, &names), statement);
    EXPECT_TRUE(names.empty());
    TParams params;
    params.ParseSQL(statement);
    EXPECT_EQ(params.Count(), 0);

    // The other way round: the literal ends after the lead byte and the marker outside it counts.
    names.clear();
    EXPECT_EQ(TParams::MarkersToQuestionMarks("WHERE A = '\xA5' AND B = :P", &names),
              "WHERE A = '\xA5' AND B = ?");
    EXPECT_EQ(names, std::vector<AnsiString>{"P"});

    // A name runs by whole characters: "功" is A5 5C, a backslash as its second byte.
    names.clear();
    std::string gong = Ansi("功");
    EXPECT_EQ(TParams::MarkersToQuestionMarks("X = :N" + gong + " AND Y = '" + gong + "'", &names),
              "X = ? AND Y = '" + gong + "'");
    EXPECT_EQ(names, std::vector<AnsiString>{"N" + gong});
    // A colon is never a trail byte: after a lead byte it still starts a marker.
    names.clear();
    EXPECT_EQ(TParams::MarkersToQuestionMarks("A = \xA4:B", &names), "A = \xA4?");
    EXPECT_EQ(names, std::vector<AnsiString>{"B"});
}

TEST(Fuzz, ParameterScannerKeepsTheTextAndWholeCharacters) {
    std::mt19937 rng(1615);
    static const unsigned char alphabet[] = {'\'', '"',  ':',  ':',  ' ',  '_',  'a',  'Z',  '0',  0x5C,
                                             0x3A, 0x40, 0x7E, 0x80, 0xA1, 0xA4, 0xA5, 0xFE, 0xFF, 0};
    std::uniform_int_distribution<size_t> length(0, 48), pick(0, sizeof alphabet - 1);
    for (int n = 0; n < 5000; ++n) {
        std::string text(length(rng), '\0');
        for (char& c : text)
            c = static_cast<char>(alphabet[pick(rng)]);
        std::vector<char> exact(text.begin(), text.end());
        std::string_view sql(exact.data(), exact.size());
        std::set<size_t> starts;
        for (size_t i = 0; i < sql.size(); i += codepage::CharLength(sql, i))
            starts.insert(i);
        starts.insert(sql.size());

        std::vector<AnsiString> names;
        AnsiString out = TParams::MarkersToQuestionMarks(sql, &names);
        // Putting every marker back gives the text again; each marker starts and ends between characters.
        AnsiString rebuilt;
        size_t marker = 0;
        for (char c : out) {
            if (c == '?') {
                ASSERT_LT(marker, names.size()) << text;
                ASSERT_FALSE(names[marker].empty());
                EXPECT_TRUE(starts.count(rebuilt.size())) << text;
                rebuilt += ":" + names[marker++];
                EXPECT_TRUE(starts.count(rebuilt.size())) << text;
            } else {
                rebuilt += c;
            }
        }
        EXPECT_EQ(marker, names.size());
        EXPECT_EQ(rebuilt, text);
        TParams params;
        params.ParseSQL(sql);
        EXPECT_LE(static_cast<size_t>(params.Count()), names.size());
    }
}
