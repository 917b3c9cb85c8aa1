#include "grid/support/KxPictureInput.h"

#include "core/Exception.h"
#include "data/DataSet.h"
#include "grid/support/KxIntl.h"
#include "ui/Dialogs.h"

#include <algorithm>

void TkxDBPicture::DefineProperties(ClassInfo& info) {
    info.Add("PictureMask", &TkxDBPicture::PictureMask, &TkxDBPicture::SetPictureMask);
    info.Add("AutoFill", &TkxDBPicture::AutoFill, &TkxDBPicture::SetAutoFill);
    info.Add("AllowInvalidExit", &TkxDBPicture::AllowInvalidExit, &TkxDBPicture::SetAllowInvalidExit);
    info.Add("PictureMaskFromDataSet", &TkxDBPicture::PictureMaskFromDataSet,
             &TkxDBPicture::SetPictureMaskFromDataSet);
}

namespace {

size_t charLength(std::string_view s, size_t at) {
    return at + 1 < s.size() && codepage::IsLeadByte(static_cast<unsigned char>(s[at])) ? 2 : 1;
}

// The byte offset just after the first `chars` characters of s (its length when it has fewer).
size_t offsetOfChar(std::string_view s, size_t chars) {
    size_t at = 0;
    for (; chars > 0 && at < s.size(); --chars)
        at += charLength(s, at);
    return std::min(at, s.size());
}

// The selection clamped to the text.
void clampSelection(const AnsiString& text, int selStart, int selLength, size_t& start, size_t& end) {
    start = std::min(static_cast<size_t>(std::max(selStart, 0)), text.size());
    end = std::min(start + static_cast<size_t>(std::max(selLength, 0)), text.size());
}

} // namespace

TkxMaskKeystroke TkxPictureInput::Keystroke(const AnsiString& text, int selStart, int selLength,
                                            std::string_view ch, int maxLength) const {
    TkxMaskKeystroke out;
    if (!Active() || ch.empty())
        return out;
    size_t start, end;
    clampSelection(text, selStart, selLength, start, end);
    const AnsiString head = text.substr(0, start), tail = text.substr(end);
    AnsiString candidate = head + AnsiString(ch) + tail;
    if (maxLength > 0 && candidate.size() > static_cast<size_t>(maxLength)) {
        out.FireCheckValue = true;
        out.PassesPictureTest = PassesPictureTest(text);
        return out;
    }
    TkxPictureValidator validator(mask_, autoFill_);
    // Matches s in place. Literals filled in past the control's limit are left out (the user types
    // them, or the next character brings them); a text that does not fit even so cannot be taken.
    auto match = [&](AnsiString& s) {
        AnsiString filled = s;
        TkxMatchResult m = validator.MatchPicture(filled, autoFill_);
        const auto fits = [&](const AnsiString& v) { return maxLength <= 0 || v.size() <= size_t(maxLength); };
        if (fits(filled)) {
            s = filled;
            return m;
        }
        m = validator.MatchPicture(s, false);
        return fits(s) ? m : MatchError;
    };
    // The typed character ends the text: the caret goes to the end (after filled-in literals).
    bool caretAtEnd = end == text.size();
    TkxMatchResult r = match(candidate);
    if (autoFill_ && r == MatchError) {
        // A blank in place of the character steps over the literals in its way; the character then
        // follows them.
        AnsiString stepped = head + " " + tail;
        r = match(stepped);
        if (r != MatchError) {
            candidate = stepped + AnsiString(ch);
            r = match(candidate);
            caretAtEnd = true;
        }
    }
    switch (r) {
    case MatchComplete:
    case MatchIncomplete:
        out.Action = TkxMaskKeystroke::kaTake;
        out.Text = candidate;
        out.SelStart = static_cast<int>(caretAtEnd ? candidate.size()
                                                   : offsetOfChar(candidate, AnsiCharCount(head) + 1));
        out.FireCheckValue = true;
        out.PassesPictureTest = r == MatchComplete;
        break;
    case MatchError:
        if (end < text.size()) {
            out.FireCheckValue = true;
            out.PassesPictureTest = false;
        } else {
            out.Action = TkxMaskKeystroke::kaReject;
        }
        break;
    default:
        out.FireCheckValue = true;
        out.PassesPictureTest = true;
        break;
    }
    return out;
}

AnsiString TkxPictureInput::TextAfterBackspace(const AnsiString& text, int selStart, int selLength) {
    size_t start, end;
    clampSelection(text, selStart, selLength, start, end);
    if (start == end) {
        if (start == 0)
            return text;
        // The character that ends at the caret, never half of a double-byte one.
        size_t at = 0;
        while (at + charLength(text, at) < start)
            at += charLength(text, at);
        start = at;
    }
    return text.substr(0, start) + text.substr(end);
}

bool TkxPictureInput::PassesPictureTest(const AnsiString& text) const {
    if (text.empty() || !Active())
        return true;
    AnsiString copy = text;
    return TkxPictureValidator(mask_, autoFill_).MatchPicture(copy, false) == MatchComplete;
}

AnsiString TkxPictureInput::Pasted(const AnsiString& text, int maxLength) const {
    if (!Active())
        return text;
    AnsiString copy = text;
    TkxPictureValidator(mask_, autoFill_).MatchPicture(copy, autoFill_);
    // Literals that auto-fill adds never take the text beyond the control's limit.
    if (maxLength > 0 && int(copy.size()) > maxLength && int(text.size()) <= maxLength) {
        copy = text;
        TkxPictureValidator(mask_, autoFill_).MatchPicture(copy, false);
    }
    return copy;
}

bool TkxPictureInput::MayLeave(const AnsiString& text, bool modified, bool allowInvalidExit) const {
    return !(Active() && modified && !allowInvalidExit && !PassesPictureTest(text));
}

bool TkxPictureInput::CheckWrite(TPersistent* sender, TDataSet* dataSet, TField* field,
                                 const AnsiString& text, bool allowInvalidExit) const {
    if (!Active() || allowInvalidExit || PassesPictureTest(text))
        return true;
    if (dataSet) {
        const PropValue hook = dataSet->GetProperty("OnInvalidValue");
        if (auto object = std::get_if<TPersistent*>(&hook)) {
            auto event = dynamic_cast<TkxInvalidValueEvent*>(*object);
            if (event && event->Handler) {
                event->Handler(dataSet, field);
                return false;
            }
        }
    }
    // The process settings object says how; a program without one gets it made here, as at start-up.
    CreateProcessIntl()->ReportMaskError(sender, field);
    return false;
}


