#pragma once
// TkxPictureValidator: matches a text against a picture mask, character by character, and rewrites
// the text as the picture stores it (case conversions, literals in the picture's case, literal
// characters filled in). A validator is made for one check and dropped right after.
//
// The picture language:
//   #  a digit              ?  a letter             &  a letter, stored upper-case
//   ~  a letter, stored lower-case                  !  any character, stored upper-case
//   @  any character        ;  the next picture character is a literal, whatever it is
//   *  repeats the element after it any number of times; *n repeats it exactly n times
//   [..] optional group     {..} required group      ,  separates alternatives (the first that fits wins)
//   any other character is a literal, compared ignoring ASCII letter case
// A letter is an ASCII letter or any character whose code is above 128; a double-byte character of
// the code page is one character for the picture and is never split.
//
// Cost: the picture and the text are cut into characters once per match (linear); the picture's
// bracket pairs and element ends are found once, so stepping over an element is constant. A match
// walks the text once for every alternative it tries at a position, which is linear in the text for
// the masks in use (a repeated group of fixed width, a repeated choice of single characters).
// Backtracking through repetitions nested inside alternatives would cost a power of the text; the
// matcher remembers the outcome of each (picture position, text position) it comes back to, which
// keeps such pictures near linear too, and a step budget bounds every match (running out is
// answered as MatchError).
#include "core/AnsiString.h"

enum TkxMatchResult {
    MatchComplete = 0,         // the text matches the whole picture
    MatchIncomplete = 1,       // a valid beginning; more input is needed
    MatchEmpty = 2,            // the text is empty
    MatchError = 3,            // the text cannot match
    MatchSyntaxError = 4,      // the picture itself is malformed
    MatchAmbiguous = 5,        // inside the matcher only: complete, but optional parts could take more
    MatchIncompleteNoFill = 6  // inside the matcher only: incomplete, and no literal may be filled in
};

class TkxPictureValidator {
public:
    TkxPictureValidator(AnsiString picture, bool autoFill)
        : picture_(std::move(picture)), autoFill_(autoFill) {}
    virtual ~TkxPictureValidator() = default;

    const AnsiString& Picture() const { return picture_; }
    bool AutoFill() const { return autoFill_; }

    // False only when the text cannot match; the text is normalised, and filled in when the
    // validator's auto-fill flag is set and suppressFill is false.
    virtual bool CheckInput(AnsiString& text, bool suppressFill);
    // The text (on a copy, without filling in) matches completely or is empty.
    virtual bool IsValidValue(const AnsiString& text);
    // Matches the text against the picture, normalising it in place and, with autoFill, appending
    // the literal characters that must follow. Answers one of the first five results.
    virtual TkxMatchResult MatchPicture(AnsiString& text, bool autoFill);

    // True when the picture is malformed: empty, a ';' that escapes nothing, a '*' with no element
    // after it in its group, brackets that do not pair up in number, or nesting too deep to match.
    static bool SyntaxCheckFails(std::string_view picture);

private:
    AnsiString picture_;
    bool autoFill_;
};
