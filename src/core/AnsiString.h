#pragma once
// Text of the process code page. An AnsiString holds bytes of the ANSI code page (Big5 by default,
// KESTRIN_CODEPAGE overrides); it is converted only where it crosses into Qt or the terminal.
#include <cstdint>
#include <string>
#include <string_view>

using AnsiString = std::string;

namespace codepage {
// The iconv name of the process code page ("BIG5", "UTF-8", "CP1252", ...).
const std::string& Name();
// Changes the process code page; for tests and the start of the program only.
void SetName(const std::string& iconvName);
// True when the byte may start a two-byte character of the process code page.
bool IsLeadByte(unsigned char c);
// True when the byte may end a two-byte character (Big5: 0x40-0x7E and 0xA1-0xFE).
bool IsTrailByte(unsigned char c);
// Bytes of the character at s[i]: 2 for a lead byte followed by a valid trail byte, else 1. A lead
// byte before anything else (a quote, a separator, the end) stands alone, as the server reads it.
size_t CharLength(std::string_view s, size_t i);
// Why a code page cannot serve as the process code page, empty when it can: iconv must know it, it
// must keep ASCII as it is, and a code page with multi-byte characters must be UTF-8 or one whose
// lead and trail bytes this program knows (BIG5, BIG5-HKSCS, CP950, GBK, CP936, SJIS, CP932, EUC-KR,
// CP949). The start of the program refuses a KESTRIN_CODEPAGE that cannot.
AnsiString CheckName(const std::string& iconvName);
// The character set of the user's locale (LC_ALL, LC_CTYPE, LANG); UTF-8 for a locale that names
// nothing beyond ASCII, as text from a terminal then is.
std::string SystemEncoding();
// Text from outside the program (the command line) in `encoding`, converted to the code page. Text
// that is not valid in `encoding` passes unchanged: a caller that already speaks the code page
// keeps working.
AnsiString FromEncoding(std::string_view text, const std::string& encoding);
inline AnsiString FromSystem(std::string_view text) { return FromEncoding(text, SystemEncoding()); }
// Conversions; bytes that do not convert become "?" (or U+FFFD towards Unicode).
AnsiString FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view ansi);
std::u16string ToUtf16(std::string_view ansi);
AnsiString FromUtf16(std::u16string_view utf16);
} // namespace codepage

// Chinese literals are written in UTF-8 in the source and converted once to the code page.
inline AnsiString Ansi(std::string_view utf8) { return codepage::FromUtf8(utf8); }

// Case folding of ASCII letters only; double-byte characters are left whole.
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
int CompareStr(std::string_view a, std::string_view b);

AnsiString Trim(std::string_view s);      // removes characters with codes of 32 or less at both ends
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);

// Finds `sub` at a character boundary (never inside a double-byte character); npos when absent.
size_t AnsiFind(std::string_view s, std::string_view sub, size_t from = 0);
// Number of characters (a double-byte character counts once).
size_t AnsiCharCount(std::string_view s);
// Cuts s to at most maxBytes without splitting a double-byte character.
AnsiString AnsiLeft(std::string_view s, size_t maxBytes);
// The bytes AnsiLeft keeps.
size_t AnsiLeftLength(std::string_view s, size_t maxBytes);

// One text looked for in others as a user's search looks: by whole characters of the code page (a
// match starts and ends on character boundaries, so a trail byte never starts one) with the case of
// ASCII letters ignored (a letter byte inside a double-byte character is compared as it is). Made
// once per text; a test walks the other text's characters once and compares bytes, with no copy.
class AnsiTextMatcher {
public:
    explicit AnsiTextMatcher(std::string_view text);
    bool Empty() const { return text_.empty(); }
    // `s` starts with the text.
    bool StartOf(std::string_view s) const { return matchesAt(s, 0); }
    // The text stands somewhere in `s`.
    bool In(std::string_view s) const;

private:
    bool matchesAt(std::string_view s, size_t i) const;
    AnsiString text_;        // single-byte letters in lower case
    std::string single_;     // per byte of text_: 1 for a character of one byte
    bool endsInLead_ = false; // the last character is a lead byte standing alone
    bool lead_[256];
    bool trail_[256];
};
