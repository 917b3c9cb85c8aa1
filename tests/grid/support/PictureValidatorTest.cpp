// Picture masks: the matcher's results and the text it leaves, double-byte text, malformed pictures,
// and a bounded fuzz run over random pictures and texts.
#include "grid/support/KxPictureValidator.h"

#include "grid/support/CodePageScope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>

namespace {

const char* resultName(TkxMatchResult r) {
    static const char* names[] = {"MatchComplete",    "MatchIncomplete", "MatchEmpty",
                                  "MatchError",       "MatchSyntaxError", "MatchAmbiguous",
                                  "MatchIncompleteNoFill"};
    return unsigned(r) < 7 ? names[r] : "?";
}

struct Case {
    const char* picture;
    const char* input;
    bool autoFill;
    TkxMatchResult result;
    const char* text;  // the text after the match
};

void expectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        TkxPictureValidator v(c.picture, c.autoFill);
        AnsiString text = c.input;
        const TkxMatchResult r = v.MatchPicture(text, c.autoFill);
        EXPECT_STREQ(resultName(r), resultName(c.result))
            << "picture \"" << c.picture << "\", input \"" << c.input << "\", auto-fill " << c.autoFill;
        EXPECT_EQ(text, c.text) << "picture \"" << c.picture << "\", input \"" << c.input << "\"";
    }
}

} // namespace

TEST(PictureValidator, DocumentedExamples) {
    expectCases({
        {"###-####", "555", false, MatchIncomplete, "555"},
        {"###-####", "555", true, MatchIncomplete, "555-"},
        {"&&###", "ab1", false, MatchIncomplete, "AB1"},
        {"###", "1234", false, MatchError, "1234"},
        {"{AM,PM}", "a", false, MatchIncomplete, "A"},
        {"{AM,PM}", "am", false, MatchComplete, "AM"},
        {"{AM,PM}", "p", true, MatchComplete, "PM"},
        {"{#,##}", "12", false, MatchError, "12"},
        {"[###]", "", false, MatchEmpty, ""},
        {"[###]", "12", false, MatchIncomplete, "12"},
        {"*#", "7", false, MatchComplete, "7"},
        {"*#", "0123456789", false, MatchComplete, "0123456789"},
        {"*3#", "12", false, MatchIncomplete, "12"},
        {"*3#", "123", false, MatchComplete, "123"},
        {";*#", "*5", false, MatchComplete, "*5"},
        {";*#", "55", false, MatchError, "55"},
        {"#*", "1", false, MatchSyntaxError, "1"},
        {"#;*", "1*", false, MatchComplete, "1*"},
        {"##:##", "12 ", false, MatchIncomplete, "12:"},
        {"[##", "", false, MatchSyntaxError, ""},
        {"[##", "12", true, MatchSyntaxError, "12"},
    });
}

TEST(PictureValidator, CharacterClassesAndCase) {
    expectCases({
        {"#", "a", false, MatchError, "a"},
        {"?", "5", false, MatchError, "5"},
        {"??", "aB", false, MatchComplete, "aB"},
        {"~~", "AB", false, MatchComplete, "ab"},
        {"&", "-", false, MatchError, "-"},
        {"!!!", "a1-", false, MatchComplete, "A1-"},
        {"@@", "a ", false, MatchComplete, "a "},
        // Literals compare ignoring ASCII case and are stored as the picture writes them.
        {"AbC", "aBc", false, MatchComplete, "AbC"},
        {"x#", "y1", false, MatchError, "y1"},
        // An escaped special character is a literal.
        {";##", "#1", false, MatchComplete, "#1"},
        {"#;;", "1;", false, MatchComplete, "1;"},
    });
}

TEST(PictureValidator, AlternativesAndGroups) {
    expectCases({
        // An optional group left out when the text does not fit it.
        {"#[-]#", "12", false, MatchComplete, "12"},
        {"#[-]#", "1-2", false, MatchComplete, "1-2"},
        // The text ran out where only optional parts remain: complete.
        {"#[#]", "1", false, MatchComplete, "1"},
        {"#*#", "1", false, MatchComplete, "1"},
        {"#*2[#]", "1", false, MatchComplete, "1"},
        {"#*2#", "1", false, MatchIncomplete, "1"},
        {"#*12[#]", "1", false, MatchIncomplete, "1"},
        {"#{[#],x}", "1", false, MatchComplete, "1"},
        {"#{x,y}", "1", false, MatchIncomplete, "1"},
        {"#[a],b", "1", false, MatchComplete, "1"},
        // A later alternative that stops short of an earlier incomplete one is itself incomplete.
        {"##a,#", "12", false, MatchIncomplete, "12"},
        {"##a,#", "12", true, MatchComplete, "12a"},
        {"##a,#", "1", false, MatchComplete, "1"},
        // Counted repetitions of groups.
        {"*3[#]", "1", false, MatchComplete, "1"},
        {"*2{#-}", "1-2-", false, MatchComplete, "1-2-"},
        {"*2{#-}", "1-2", true, MatchComplete, "1-2-"},
        {"*2{#-}", "1-2", false, MatchIncomplete, "1-2"},
        {"*{##-}", "12-34-", false, MatchComplete, "12-34-"},
        {"*{##-}", "12-3", false, MatchIncomplete, "12-3"},
        {"*[#,&]", "1a2b", false, MatchComplete, "1A2B"},
        {"*[#,&]", "1a-", false, MatchError, "1A-"},
    });
}

TEST(PictureValidator, AutoFillAndItsLimits) {
    expectCases({
        // Several literals, an escaped special among them, are filled in up to the next special.
        {"##--##", "12", true, MatchIncomplete, "12--"},
        {"#;##", "1", true, MatchIncomplete, "1#"},
        {"(###) ###", "(555", true, MatchIncomplete, "(555) "},
        {"(###) ###", "555", true, MatchError, "555"},
        {"(###) ###", "(", true, MatchIncomplete, "("},
        // After a repetition or a skipped optional part nothing is filled in.
        {"*#-", "12", true, MatchIncomplete, "12"},
        {"##-", "12", true, MatchComplete, "12-"},
        // A filled-in text that no longer matches: the text goes back as it was given.
        {"*{#-}x", "1", true, MatchIncomplete, "1"},
        {"*{&-}x", "a", true, MatchIncomplete, "a"},
        // Without auto-fill the same text stays incomplete.
        {"{AM,PM}", "p", false, MatchIncomplete, "P"},
    });
}

TEST(PictureValidator, LiteralBlankStepsOverOneLiteral) {
    expectCases({
        {"##:##", "12 3", false, MatchError, "12 3"},  // only the last character may step over
        {"###-####", "555 ", true, MatchIncomplete, "555-"},
        {"#-#", "1 2", false, MatchError, "1 2"},
        // A blank the picture asks for is matched as itself.
        {"# #", "1 ", false, MatchIncomplete, "1 "},
        // Once the last blank matched a literal blank, another alternative cannot step over with it.
        {"{ x,-}", " ", false, MatchIncomplete, " "},
        {"{-,x}", " ", false, MatchComplete, "-"},
    });
}

TEST(PictureValidator, MalformedPictures) {
    for (const char* picture : {"", ";", "#;", "#*", "*", "#*3", "[#*]", "{#*12}", "[##", "##]", "{#", "#}",
                                "[#]]", "{{#}", ";;*", "#;;;"}) {
        EXPECT_TRUE(TkxPictureValidator::SyntaxCheckFails(picture)) << picture;
        for (const char* input : {"", "1", "ab", " "}) {
            TkxPictureValidator v(picture, true);
            AnsiString text = input;
            EXPECT_EQ(v.MatchPicture(text, true), MatchSyntaxError) << picture << " / " << input;
            EXPECT_EQ(text, input);
            EXPECT_EQ(v.IsValidValue(input), false) << picture;
            AnsiString checked = input;
            EXPECT_TRUE(v.CheckInput(checked, false)) << "a malformed picture rejects no keystroke";
        }
    }
    for (const char* picture : {"#;*", ";*", "#;;", ";;", "#;]", "[#],{#}", "*[#]", "#*,#", "]["})
        EXPECT_FALSE(TkxPictureValidator::SyntaxCheckFails(picture)) << picture;
    // Nesting beyond what the matcher recurses through is malformed; moderate nesting is not.
    EXPECT_TRUE(TkxPictureValidator::SyntaxCheckFails(std::string(300, '[') + "#" + std::string(300, ']')));
    EXPECT_TRUE(TkxPictureValidator::SyntaxCheckFails(std::string(300, '*') + "#"));
    const std::string nested = std::string(40, '{') + "#" + std::string(40, '}');
    EXPECT_FALSE(TkxPictureValidator::SyntaxCheckFails(nested));
    TkxPictureValidator v(nested, false);
    AnsiString text = "5";
    EXPECT_EQ(v.MatchPicture(text, false), MatchComplete);
}

TEST(PictureValidator, IsValidValueAndCheckInput) {
    TkxPictureValidator v("###-####", true);
    EXPECT_TRUE(v.IsValidValue(""));
    EXPECT_TRUE(v.IsValidValue("555-1234"));
    EXPECT_FALSE(v.IsValidValue("555"));
    EXPECT_FALSE(v.IsValidValue("555-12345"));

    AnsiString text = "555";
    EXPECT_TRUE(v.CheckInput(text, false));
    EXPECT_EQ(text, "555-");
    text = "555";
    EXPECT_TRUE(v.CheckInput(text, true));
    EXPECT_EQ(text, "555");
    text = "55a";
    EXPECT_FALSE(v.CheckInput(text, false));

    TkxPictureValidator noFill("###-####", false);
    text = "555";
    EXPECT_TRUE(noFill.CheckInput(text, false));
    EXPECT_EQ(text, "555");
}

TEST(PictureValidator, LongCountsAndEmptyRepetitionsEnd) {
    // A huge count over an element that takes no input ends at once with the element's result.
    expectCases({
        {"*999999999[#]", "12", false, MatchComplete, "12"},
        {"*999999999{[&#][~#]}", "ab", false, MatchError, "ab"},
        {"*99999999999999999999#", "12", false, MatchIncomplete, "12"},
        {"*999999999{}#", "1", false, MatchComplete, "1"},
        {"#*999999999{}", "1", false, MatchIncomplete, "1"},
    });
}

TEST(PictureValidator, DoubleByteCharactersAreWhole) {
    CodePageScope big5("BIG5");
    const AnsiString zhang = Ansi("張"), san = Ansi("三"), colon = Ansi("：");
    ASSERT_EQ(zhang.size(), 2u);
    // '?', '@', '&' and '~' take a double-byte character as one letter and leave it whole.
    expectCases({
        {"?", zhang.c_str(), false, MatchComplete, zhang.c_str()},
        {"??", (zhang + san).c_str(), false, MatchComplete, (zhang + san).c_str()},
        {"?#", (zhang + "1").c_str(), false, MatchComplete, (zhang + "1").c_str()},
        {"@@@", (zhang + "a" + san).c_str(), false, MatchComplete, (zhang + "a" + san).c_str()},
        {"*&", (zhang + "ab" + san).c_str(), false, MatchComplete, (zhang + "AB" + san).c_str()},
        {"*~", (zhang + "AB").c_str(), false, MatchComplete, (zhang + "ab").c_str()},
        {"###", (zhang + "1").c_str(), false, MatchError, (zhang + "1").c_str()},
        // One character too many is input left over, not a half character matched.
        {"?", (zhang + san).c_str(), false, MatchError, (zhang + san).c_str()},
        {"??", zhang.c_str(), false, MatchIncomplete, zhang.c_str()},
        // A double-byte literal in the picture, matched and filled in whole.
        {("##" + colon + "##").c_str(), "12", true, MatchIncomplete, ("12" + colon).c_str()},
        {("##" + colon + "##").c_str(), ("12" + colon + "3").c_str(), false, MatchIncomplete,
         ("12" + colon + "3").c_str()},
        {("##" + colon + "##").c_str(), "12 ", false, MatchIncomplete, ("12" + colon).c_str()},
        {(zhang + "#").c_str(), (zhang + "7").c_str(), false, MatchComplete, (zhang + "7").c_str()},
        {(zhang + "#").c_str(), (san + "7").c_str(), false, MatchError, (san + "7").c_str()},
    });
    // A trail byte that looks like an ASCII character is never matched on its own: 許 ends in "\".
    const AnsiString xu = Ansi("許");
    ASSERT_EQ(xu[1], '\\');
    expectCases({{"?", xu.c_str(), false, MatchComplete, xu.c_str()},
                 {"?;\\", xu.c_str(), false, MatchIncomplete, xu.c_str()}});
}

TEST(PictureValidator, LettersBeyondAsciiFollowTheLocaleCase) {
    {
        CodePageScope big5("BIG5");
        const AnsiString wideA = Ansi("Ａ"), widea = Ansi("ａ"), alpha = Ansi("α"), Alpha = Ansi("Α");
        expectCases({
            {"&~", (widea + wideA).c_str(), false, MatchComplete, (wideA + widea).c_str()},
            {"!", alpha.c_str(), false, MatchComplete, Alpha.c_str()},
            {"?", Ansi("ａ").c_str(), false, MatchComplete, widea.c_str()},
        });
    }
    {
        CodePageScope latin("CP1252");
        // In a single-byte code page every code above 128 is a letter.
        expectCases({
            {"&&", "\xE9\xFF", false, MatchComplete, "\xC9\x9F"},
            {"~", "\xC0", false, MatchComplete, "\xE0"},
            {"?", "\x81", false, MatchComplete, "\x81"},
            {"?", "\x80", false, MatchError, "\x80"},
        });
    }
}

// Random pictures and texts: only what must hold for every one of them is checked. The sanitizer
// build turns any read past the text or the picture into a failure.
TEST(PictureValidator, FuzzKeepsItsPromises) {
    CodePageScope big5("BIG5");
    std::mt19937 rng(20240513);
    const std::vector<std::string> pictureParts = {"#", "?", "&", "~", "!", "@", ";", "*", "[", "]", "{", "}",
                                                   ",", "1", "3", "0", "-", ":", " ", "a", "A", Ansi("張"),
                                                   Ansi("："), "\xA4", "\x80"};
    const std::vector<std::string> textParts = {"0", "5", "9", "a", "Z", " ", "-", ":", "*", ";", ",",
                                                Ansi("張"), Ansi("三"), Ansi("ａ"), Ansi("："),
                                                std::string(1, '\0')};
    auto pick = [&](const std::vector<std::string>& parts, int maxLen) {
        std::string s;
        const int len = std::uniform_int_distribution<int>(0, maxLen)(rng);
        for (int i = 0; i < len; ++i)
            s += parts[std::uniform_int_distribution<size_t>(0, parts.size() - 1)(rng)];
        return s;
    };
    const auto started = std::chrono::steady_clock::now();
    int malformed = 0, complete = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string picture = pick(pictureParts, 12);
        // Most texts are whole characters; some end in half of one.
        std::string text = pick(textParts, 14);
        if (round % 7 == 0)
            text += '\xA4';
        const bool autoFill = round % 2 == 0;
        const bool bad = TkxPictureValidator::SyntaxCheckFails(picture);
        malformed += bad;

        TkxPictureValidator v(picture, autoFill);
        AnsiString matched = text;
        const TkxMatchResult r = v.MatchPicture(matched, autoFill);
        ASSERT_LE(int(r), int(MatchSyntaxError)) << picture << " / " << text;
        complete += r == MatchComplete;
        if (bad) {
            ASSERT_EQ(r, MatchSyntaxError) << picture << " / " << text;
            ASSERT_EQ(matched, text);
        } else {
            ASSERT_NE(r, MatchSyntaxError) << picture << " / " << text;
            ASSERT_EQ(r == MatchEmpty, text.empty()) << picture << " / " << text;
        }
        // Characters are replaced one for one; only auto-fill adds any, and only after them.
        if (text.empty() || text.back() != '\xA4') {
            if (autoFill)
                ASSERT_GE(AnsiCharCount(matched), AnsiCharCount(text)) << picture << " / " << text;
            else
                ASSERT_EQ(AnsiCharCount(matched), AnsiCharCount(text)) << picture << " / " << text;
        }

        AnsiString copy = text;
        const TkxMatchResult plain = v.MatchPicture(copy, false);
        ASSERT_EQ(v.IsValidValue(text), plain == MatchComplete || plain == MatchEmpty)
            << picture << " / " << text;
        AnsiString checked = text;
        AnsiString again = text;
        ASSERT_EQ(v.CheckInput(checked, false), v.MatchPicture(again, autoFill) != MatchError);
        ASSERT_EQ(checked, again);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The mix must reach both sides of the syntax check and some complete matches.
    EXPECT_GT(malformed, 100);
    EXPECT_GT(complete, 5);
    RecordProperty("seconds", std::to_string(seconds));
}

// Many pictures (nested repetitions and alternatives among them) against many texts: every result
// and every text the matcher leaves is folded into one digest, taken from the plain backtracking
// matcher, so remembering outcomes of parts of a match never changes an answer.
TEST(PictureValidator, ResultsOverManyPicturesAndTextsStayTheSame) {
    CodePageScope big5("BIG5");
    std::mt19937 rng(911);
    const std::vector<std::string> atoms = {"#", "#", "?", "&", "~", "!", "@", "-", " ", "a", "A", ";,", Ansi("張")};
    const std::vector<std::string> textParts = {"1", "1", "7", "a", "A", "b", " ", "-", ",", Ansi("張")};
    // A well-formed picture: elements, repetitions, groups of alternatives, nested up to `depth`.
    std::function<std::string(int)> element = [&](int depth) -> std::string {
        const unsigned kind = depth > 0 ? rng() % 6 : 0;
        if (kind < 2)
            return atoms[rng() % atoms.size()];
        if (kind == 2) {
            const std::string star = rng() % 3 ? "*" : "*2";
            return star + element(depth - 1);
        }
        std::string group;
        for (unsigned alt = 0, alts = 1 + rng() % 3; alt < alts; ++alt) {
            group += alt ? "," : "";
            for (unsigned k = 0, len = 1 + rng() % 3; k < len; ++k)
                group += element(depth - 1);
        }
        return kind == 3 ? "[" + group + "]" : "{" + group + "}";
    };
    std::vector<std::string> pictures = {"*{*{*#a,#}b,#}", "*{*{*#a,#}b,#}c", "*{*[#a,#]b,#}", "{*&,*~}#",
                                         "*{&a,~b}", "*{a1,A2}", "*[ -,#]", "*{#,-}[ ]#", "*2{*#-,#}",
                                         "{*{#,a},*{#,b}}-", "[*#a],*#b,*#"};
    for (int i = 0; i < 3000; ++i)
        pictures.push_back(element(1 + i % 4) + element(i % 3));
    uint64_t digest = 14695981039346656037ull;
    auto fold = [&](const std::string& s) {
        for (unsigned char c : s)
            digest = (digest ^ c) * 1099511628211ull;
    };
    for (const std::string& picture : pictures) {
        for (int t = 0; t < 16; ++t) {
            std::string text;
            for (unsigned len = rng() % 10; len > 0; --len)
                text += textParts[rng() % textParts.size()];
            for (bool autoFill : {false, true}) {
                AnsiString matched = text;
                fold(std::to_string(TkxPictureValidator(picture, autoFill).MatchPicture(matched, autoFill)));
                fold(matched + '\n');
            }
        }
    }
    EXPECT_EQ(digest, 1834542421757314729u);
}

// Repetitions nested inside alternatives over a field's whole length: tried one way after another,
// the depth-8 picture takes hours. Each answers at once, also where alternatives rewrite the letters
// they backtrack over (the text ends as the plain matcher leaves it).
TEST(PictureValidator, NestedRepetitionsOnALongTextAnswerAtOnce) {
    const std::string digits(254, '1'), lower(254, 'x'), upper(254, 'X'), as(254, 'a'), As(254, 'A');
    const char* depth8 = "*{*{*{*{*{*{*{*#a,#}b,#}c,#}d,#}e,#}f,#}g,#}";
    const std::vector<std::string> texts = {digits + "-", digits + "1", digits.substr(4) + "ab1b1",
                                            lower + "-", as + "-", As + "-"};
    expectCases({
        {depth8, texts[0].c_str(), false, MatchError, texts[0].c_str()},
        {depth8, texts[1].c_str(), false, MatchIncomplete, texts[1].c_str()},
        {depth8, texts[2].c_str(), true, MatchIncomplete, texts[2].c_str()},
        {"*{*{*&1,&}2,&}", texts[3].c_str(), false, MatchError, (upper + "-").c_str()},
        {"*{*{*{a1,A}q,{a1,A}}r,{a1,A}}", texts[4].c_str(), false, MatchError, texts[5].c_str()},
    });
}
