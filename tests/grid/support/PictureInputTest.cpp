// A picture mask applied to a text control: typed characters, Backspace, paste, the value check,
// leaving the control and writing the value, on plain texts and selections.
#include "grid/support/KxPictureInput.h"

#include "core/Exception.h"
#include "data/ClientDataSet.h"
#include "grid/support/CodePageScope.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using K = TkxMaskKeystroke;

// Types `ch` over the selection [selStart, selStart + selLength) of `text`.
K type(const TkxPictureInput& mask, const AnsiString& text, int selStart, int selLength, std::string_view ch,
       int maxLength = 0) {
    return mask.Keystroke(text, selStart, selLength, ch, maxLength);
}

// A dataset that publishes a handler for values failing their mask.
class TMaskedDataSet : public TClientDataSet {
    MORVANE_CLASS_PROPS(TMaskedDataSet, TClientDataSet)
public:
    using TClientDataSet::TClientDataSet;
    TkxInvalidValueEvent onInvalidValue;
};

void TMaskedDataSet::DefineProperties(ClassInfo& info) {
    info.AddProperty({"OnInvalidValue",
                      [](const TPersistent& o) {
                          auto& self = const_cast<TMaskedDataSet&>(static_cast<const TMaskedDataSet&>(o));
                          return PropValue(static_cast<TPersistent*>(&self.onInvalidValue));
                      },
                      {}});
}

} // namespace

TEST(PictureInput, TypedCharacterTakenRejectedOrPassedOn) {
    const TkxPictureInput phone("###-####", true);
    // The character after a full group: a blank steps over the literal, then the character follows.
    K k = type(phone, "555", 3, 0, "1");
    EXPECT_EQ(k.Action, K::kaTake);
    EXPECT_EQ(k.Text, "555-1");
    EXPECT_EQ(k.SelStart, 5);
    EXPECT_TRUE(k.FireCheckValue);
    EXPECT_FALSE(k.PassesPictureTest);
    // Completing a group fills in the literal after it; the caret goes past it.
    k = type(phone, "55", 2, 0, "5");
    EXPECT_EQ(k.Action, K::kaTake);
    EXPECT_EQ(k.Text, "555-");
    EXPECT_EQ(k.SelStart, 4);
    // The last character completes the text.
    k = type(phone, "555-123", 7, 0, "4");
    EXPECT_EQ(k.Action, K::kaTake);
    EXPECT_EQ(k.Text, "555-1234");
    EXPECT_TRUE(k.FireCheckValue);
    EXPECT_TRUE(k.PassesPictureTest);
    // A wrong character at the end is swallowed (the control beeps) and nothing is fired.
    k = type(phone, "555-", 4, 0, "x");
    EXPECT_EQ(k.Action, K::kaReject);
    EXPECT_FALSE(k.FireCheckValue);
    k = type(phone, "555-1234", 8, 0, "5");
    EXPECT_EQ(k.Action, K::kaReject);
    // A wrong character before the end goes on to the control as typed.
    k = type(phone, "555-1234", 1, 1, "x");
    EXPECT_EQ(k.Action, K::kaPassOn);
    EXPECT_TRUE(k.FireCheckValue);
    EXPECT_FALSE(k.PassesPictureTest);
    // Typed over a selection in the middle: the caret follows the typed character, not the end.
    const TkxPictureInput upper("&&&", false);
    k = type(upper, "ABC", 1, 1, "x");
    EXPECT_EQ(k.Action, K::kaTake);
    EXPECT_EQ(k.Text, "AXC");
    EXPECT_EQ(k.SelStart, 2);
    EXPECT_TRUE(k.PassesPictureTest);
    // Whole text selected and replaced.
    k = type(upper, "ABC", 0, 3, "q");
    EXPECT_EQ(k.Text, "Q");
    EXPECT_EQ(k.SelStart, 1);
}

TEST(PictureInput, RetryWithBlankOnlyWithAutoFill) {
    const TkxPictureInput noFill("###-####", false);
    K k = type(noFill, "555", 3, 0, "1");
    EXPECT_EQ(k.Action, K::kaReject);
    // A blank typed by the user steps over the literal by itself.
    k = type(noFill, "555", 3, 0, " ");
    EXPECT_EQ(k.Action, K::kaTake);
    EXPECT_EQ(k.Text, "555-");
    // The retry that fails as well leaves the keystroke rejected.
    const TkxPictureInput fill("###-####", true);
    k = type(fill, "555-", 4, 0, "-");
    EXPECT_EQ(k.Action, K::kaReject);
}

TEST(PictureInput, KeystrokeOutsideTheMask) {
    // No mask, or the use flag cleared: the key is the control's, nothing is fired.
    for (const TkxPictureInput& mask : {TkxPictureInput("", true), TkxPictureInput("###", true, false)}) {
        EXPECT_FALSE(mask.Active());
        const K k = type(mask, "12", 2, 0, "x");
        EXPECT_EQ(k.Action, K::kaPassOn);
        EXPECT_FALSE(k.FireCheckValue);
    }
    // A malformed mask rejects no keystroke and calls the text valid.
    const K k = type(TkxPictureInput("[##", true), "1", 1, 0, "x");
    EXPECT_EQ(k.Action, K::kaPassOn);
    EXPECT_TRUE(k.FireCheckValue);
    EXPECT_TRUE(k.PassesPictureTest);
    // Beyond the control's length limit the mask is not asked; the unchanged text is checked.
    const TkxPictureInput digits("####", true);
    K over = type(digits, "12", 2, 0, "3", 2);
    EXPECT_EQ(over.Action, K::kaPassOn);
    EXPECT_TRUE(over.FireCheckValue);
    EXPECT_FALSE(over.PassesPictureTest);
    over = type(digits, "1234", 4, 0, "5", 4);
    EXPECT_TRUE(over.PassesPictureTest);
    // The limit counts bytes: a double-byte character needs two.
    CodePageScope big5("BIG5");
    const TkxPictureInput any("*@", true);
    EXPECT_EQ(type(any, "1", 1, 0, Ansi("張"), 2).Action, K::kaPassOn);
    EXPECT_EQ(type(any, "1", 1, 0, Ansi("張"), 3).Action, K::kaTake);
}

// Literals filled in never take the text past the control's limit: they are left out, and a
// character that could only follow them is refused.
TEST(PictureInput, AutoFillStopsAtTheLengthLimit) {
    const TkxPictureInput phone("###-####", true);
    struct Row {
        const char* text;
        const char* typed;
        int limit;
        K::TAction action;
        const char* result;
    } rows[] = {
        {"55", "5", 3, K::kaTake, "555"},
        {"55", "5", 4, K::kaTake, "555-"},
        {"555", "1", 4, K::kaReject, ""},
        {"555", "1", 5, K::kaTake, "555-1"},
        {"555", " ", 4, K::kaTake, "555-"},
    };
    for (const Row& row : rows) {
        const K k = type(phone, row.text, 3, 0, row.typed, row.limit);
        EXPECT_EQ(k.Action, row.action) << row.text << " + " << row.typed << ", limit " << row.limit;
        if (k.Action == K::kaTake) {
            EXPECT_EQ(k.Text, row.result);
            EXPECT_EQ(k.SelStart, int(k.Text.size()));
        }
    }
    // A paste as well.
    EXPECT_EQ(phone.Pasted("555", 3), "555");
    EXPECT_EQ(phone.Pasted("555", 4), "555-");
}

TEST(PictureInput, DoubleByteCharactersTyped) {
    CodePageScope big5("BIG5");
    const AnsiString zhang = Ansi("張"), san = Ansi("三");
    const TkxPictureInput names("??#", true);
    K k = type(names, zhang, 2, 0, san);
    EXPECT_EQ(k.Action, K::kaTake);
    EXPECT_EQ(k.Text, zhang + san);
    EXPECT_EQ(k.SelStart, 4);
    EXPECT_FALSE(k.PassesPictureTest);
    k = type(names, zhang + san, 4, 0, "7");
    EXPECT_EQ(k.Text, zhang + san + "7");
    EXPECT_TRUE(k.PassesPictureTest);
    // Typed before a double-byte character: the caret lands after the typed one, bytes counted.
    const TkxPictureInput any("*@", true);
    k = type(any, "a" + zhang, 1, 0, san);
    EXPECT_EQ(k.Text, "a" + san + zhang);
    EXPECT_EQ(k.SelStart, 3);
    // A double-byte character where a digit is due is rejected whole.
    EXPECT_EQ(type(TkxPictureInput("##", true), "1", 1, 0, zhang).Action, K::kaReject);
}

TEST(PictureInput, BackspaceRemovesOneWholeCharacter) {
    CodePageScope big5("BIG5");
    const AnsiString zhang = Ansi("張"), xu = Ansi("許");
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace("12-3", 4, 0), "12-");
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace("12-3", 1, 0), "2-3");
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace("12-3", 0, 0), "12-3");
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace("12-3", 1, 2), "13");
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace("a" + zhang, 3, 0), "a");
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace(zhang + xu + "b", 4, 0), zhang + "b");
    // A selection reaching past the text is cut to it.
    EXPECT_EQ(TkxPictureInput::TextAfterBackspace("abc", 2, 9), "ab");
    const TkxPictureInput mask("##-##", true);
    EXPECT_TRUE(mask.PassesPictureTest(TkxPictureInput::TextAfterBackspace("12-345", 6, 0)));
    EXPECT_FALSE(mask.PassesPictureTest(TkxPictureInput::TextAfterBackspace("12-34", 5, 0)));
}

TEST(PictureInput, ValueCheckPasteAndLeaving) {
    const TkxPictureInput mask("&&##", true);
    EXPECT_TRUE(mask.PassesPictureTest(""));
    EXPECT_TRUE(mask.PassesPictureTest("ab12"));  // the check normalises a copy only
    EXPECT_FALSE(mask.PassesPictureTest("ab1"));
    EXPECT_FALSE(mask.PassesPictureTest("ab123"));
    EXPECT_TRUE(TkxPictureInput("&&##", true, false).PassesPictureTest("x"));
    EXPECT_FALSE(TkxPictureInput("[##", true).PassesPictureTest("12"));

    EXPECT_EQ(mask.Pasted("ab12"), "AB12");
    EXPECT_EQ(TkxPictureInput("###-####", true).Pasted("555"), "555-");
    EXPECT_EQ(TkxPictureInput("###-####", false).Pasted("555"), "555");
    EXPECT_EQ(TkxPictureInput("&&", true, false).Pasted("ab"), "ab");
    TkxDBPicture settings;  // auto-fill by default
    settings.SetProperty("PictureMask", AnsiString("##-"));
    EXPECT_EQ(TkxPictureInput(settings).Pasted("12"), "12-");

    EXPECT_FALSE(mask.MayLeave("ab1", true, false));
    EXPECT_TRUE(mask.MayLeave("ab1", true, true));
    EXPECT_TRUE(mask.MayLeave("ab1", false, false));
    EXPECT_TRUE(mask.MayLeave("AB12", true, false));
    EXPECT_TRUE(mask.MayLeave("", true, false));
}

TEST(PictureInput, WritingAFailedValueReports) {
    const TkxPictureInput mask("###", true);
    TComponent owner(nullptr);
    TStringField field(&owner);
    // No handler anywhere: the report beeps and raises with the settings' text.
    try {
        mask.CheckWrite(&owner, nullptr, &field, "12");
        FAIL() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Invalid input value.  Use escape key to abandon changes");
    }
    EXPECT_TRUE(mask.CheckWrite(&owner, nullptr, &field, "123"));
    EXPECT_TRUE(mask.CheckWrite(&owner, nullptr, &field, ""));
    EXPECT_TRUE(mask.CheckWrite(&owner, nullptr, &field, "12", true));

    // A dataset that publishes the hook without a handler still leads to the report.
    TMaskedDataSet dataSet(&owner);
    EXPECT_THROW(mask.CheckWrite(&owner, &dataSet, &field, "1"), EInvalidOperation);
    // With a handler, the handler is told instead, and the value is not written.
    TDataSet* seenDataSet = nullptr;
    TField* seenField = nullptr;
    dataSet.onInvalidValue.Handler = [&](TDataSet* d, TField* f) {
        seenDataSet = d;
        seenField = f;
    };
    EXPECT_FALSE(mask.CheckWrite(&owner, &dataSet, &field, "1"));
    EXPECT_EQ(seenDataSet, &dataSet);
    EXPECT_EQ(seenField, &field);
    // A plain client dataset publishes no hook.
    TClientDataSet plain(&owner);
    EXPECT_THROW(mask.CheckWrite(&owner, &plain, &field, "1"), EInvalidOperation);
}

// Random masks, texts, selections and characters: the caret of a taken keystroke lies inside the new
// text on a character boundary, and Backspace never leaves half a character.
TEST(PictureInput, FuzzKeystrokesStayOnCharacters) {
    CodePageScope big5("BIG5");
    std::mt19937 rng(424242);
    const std::vector<std::string> maskParts = {"#", "?", "&", "!", "@", "*", "[", "]",
                                                "{", "}", ",", "-", " ", ";", "2", Ansi("：")};
    const std::vector<std::string> chars = {"1", "a", " ", "-", Ansi("張"), Ansi("："), Ansi("許")};
    auto pick = [&](const std::vector<std::string>& parts, int maxLen) {
        std::string s;
        for (int i = std::uniform_int_distribution<int>(0, maxLen)(rng); i > 0; --i)
            s += parts[std::uniform_int_distribution<size_t>(0, parts.size() - 1)(rng)];
        return s;
    };
    auto boundaries = [](const AnsiString& s) {
        std::vector<bool> at(s.size() + 1, false);
        for (size_t i = 0; i < s.size(); ++i) {
            at[i] = true;
            if (i + 1 < s.size() && codepage::IsLeadByte(uint8_t(s[i])))
                ++i;
        }
        at[s.size()] = true;
        return at;
    };
    for (int round = 0; round < 3000; ++round) {
        const TkxPictureInput mask(pick(maskParts, 8), round % 2 == 0);
        const AnsiString text = pick(chars, 8);
        const std::vector<bool> at = boundaries(text);
        std::vector<int> starts;
        for (size_t i = 0; i < at.size(); ++i)
            if (at[i])
                starts.push_back(int(i));
        const int start = starts[rng() % starts.size()];
        int end = starts[rng() % starts.size()];
        end = std::max(end, start);
        const AnsiString ch = chars[rng() % chars.size()];
        const K k = mask.Keystroke(text, start, end - start, ch, int(rng() % 20));
        if (k.Action == K::kaTake) {
            ASSERT_LE(size_t(k.SelStart), k.Text.size());
            ASSERT_TRUE(boundaries(k.Text)[k.SelStart]) << k.Text << " @" << k.SelStart;
        }
        // One character goes, or the selection; what is left is the rest of the text, whole.
        const AnsiString left = TkxPictureInput::TextAfterBackspace(text, start, end - start);
        const size_t gone = start < end ? AnsiCharCount(text.substr(start, end - start)) : start > 0;
        ASSERT_EQ(AnsiCharCount(left) + gone, AnsiCharCount(text));
    }
}
