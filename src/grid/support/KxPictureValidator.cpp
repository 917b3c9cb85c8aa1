#include "grid/support/KxPictureValidator.h"

#include "core/Guard.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

// One character of the code page: a single byte, or lead << 8 | trail for a double-byte character
// (whose lead byte is 0x81 or above, so the two kinds never share a code).
using Ch = uint16_t;

// Groups and repetitions may nest this deep; a deeper picture is malformed (the matcher recurses
// once per level, so a limit keeps a hostile picture from exhausting the stack).
constexpr int kMaxNesting = 256;
// A counted repetition takes at most this count.
constexpr uint64_t kMaxCount = 1'000'000'000;

std::vector<Ch> splitChars(std::string_view s) {
    std::vector<Ch> out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b >= 0x80 && i + 1 < s.size() && codepage::IsLeadByte(b)) {
            out.push_back(static_cast<Ch>(b << 8 | static_cast<unsigned char>(s[i + 1])));
            ++i;
        } else {
            out.push_back(b);
        }
    }
    return out;
}

AnsiString joinChars(const std::vector<Ch>& chars) {
    AnsiString out;
    out.reserve(chars.size() + 8);
    for (Ch c : chars) {
        if (c > 0xFF)
            out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

bool isDigit(Ch c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(Ch c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isLetter(Ch c) { return isAsciiLetter(c) || c > 128; }
Ch foldAscii(Ch c) { return (c >= 'a' && c <= 'z') ? Ch(c - 32) : c; }

// Characters that are never filled in as literals (codes of 128 and above are never special).
bool isSpecial(Ch c) {
    switch (c) {
    case 0: case '#': case '?': case '&': case '!': case '@': case '*': case ',':
    case '[': case ']': case '{': case '}': case '~':
        return true;
    default:
        return false;
    }
}

// Case of the letters the code pages of this system hold beyond ASCII: Latin-1 and Latin
// Extended-A, Greek, Cyrillic, Roman numerals and the full-width Latin letters that Big5 carries.
char16_t unicodeUpper(char16_t u) {
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return char16_t(u - 0x20);
    if (u == 0xFF) return 0x178;
    if ((u >= 0x100 && u <= 0x12F) || (u >= 0x132 && u <= 0x137) || (u >= 0x14A && u <= 0x177))
        return (u & 1) ? char16_t(u - 1) : u;
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) return (u & 1) ? u : char16_t(u - 1);
    if (u == 0x3C2) return 0x3A3;
    if (u >= 0x3B1 && u <= 0x3C9) return char16_t(u - 0x20);
    if (u >= 0x430 && u <= 0x44F) return char16_t(u - 0x20);
    if (u >= 0x450 && u <= 0x45F) return char16_t(u - 0x50);
    if (u >= 0x2170 && u <= 0x217F) return char16_t(u - 0x10);
    if (u >= 0xFF41 && u <= 0xFF5A) return char16_t(u - 0x20);
    return u;
}

char16_t unicodeLower(char16_t u) {
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return char16_t(u + 0x20);
    if (u == 0x178) return 0xFF;
    if ((u >= 0x100 && u <= 0x12F) || (u >= 0x132 && u <= 0x137) || (u >= 0x14A && u <= 0x177))
        return (u & 1) ? u : char16_t(u + 1);
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) return (u & 1) ? char16_t(u + 1) : u;
    if (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) return char16_t(u + 0x20);
    if (u >= 0x410 && u <= 0x42F) return char16_t(u + 0x20);
    if (u >= 0x400 && u <= 0x40F) return char16_t(u + 0x50);
    if (u >= 0x2160 && u <= 0x216F) return char16_t(u + 0x10);
    if (u >= 0xFF21 && u <= 0xFF3A) return char16_t(u + 0x20);
    return u;
}

// The other case of a character beyond ASCII, when the code page holds it as one character; each
// answer is remembered per code page, so a long text costs one conversion per distinct letter.
Ch localeCase(Ch c, bool upper) {
    struct Cache {
        std::string codePage;
        std::unordered_map<uint32_t, Ch> map;
    };
    thread_local Cache cache;
    if (cache.codePage != codepage::Name()) {
        cache.codePage = codepage::Name();
        cache.map.clear();
    }
    const uint32_t key = c | (upper ? 0x10000u : 0u);
    if (auto it = cache.map.find(key); it != cache.map.end())
        return it->second;
    Ch result = c;
    const std::u16string u = codepage::ToUtf16(joinChars({c}));
    if (u.size() == 1) {
        const char16_t m = upper ? unicodeUpper(u[0]) : unicodeLower(u[0]);
        if (m != u[0]) {
            const AnsiString back = codepage::FromUtf16(std::u16string(1, m));
            const std::vector<Ch> chars = splitChars(back);
            if (chars.size() == 1 && codepage::ToUtf16(back) == std::u16string(1, m))
                result = chars[0];
        }
    }
    cache.map.emplace(key, result);
    return result;
}

Ch toUpper(Ch c) {
    if (c < 0x80)
        return foldAscii(c);
    return localeCase(c, true);
}

Ch toLower(Ch c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? Ch(c + 32) : c;
    return localeCase(c, false);
}

bool isComplete(TkxMatchResult r) { return r == MatchComplete || r == MatchAmbiguous; }
bool isIncomplete(TkxMatchResult r) { return r == MatchIncomplete || r == MatchIncompleteNoFill; }

// The picture cut into characters, with its bracket pairs and element ends found once.
struct PictureShape {
    std::vector<Ch> p;
    // For '[' and '{': the position of the matching closing bracket of the same kind (nesting of
    // that kind counted, escaped characters skipped), or n when there is none.
    std::vector<size_t> close;
    // The position just after the element that starts at each position (at most n).
    std::vector<size_t> end;
    bool malformed = false;

    explicit PictureShape(std::string_view text) : p(splitChars(text)) {
        const size_t n = p.size();
        close.assign(n, n);
        end.assign(n, n);
        std::vector<bool> escaped(n, false);
        std::vector<size_t> squares, braces;
        long balanceSquare = 0, balanceBrace = 0;
        malformed = n == 0;
        for (size_t k = 0; k < n; ++k) {
            switch (p[k]) {
            case ';':
                if (k + 1 >= n)
                    malformed = true;  // escapes nothing
                else
                    escaped[k + 1] = true;
                ++k;
                break;
            case '*': {
                size_t m = k + 1;
                while (m < n && isDigit(p[m]))
                    ++m;
                // A repetition needs an element before its picture or its group ends.
                if (m >= n || p[m] == ']' || p[m] == '}')
                    malformed = true;
                break;
            }
            case '[': ++balanceSquare; squares.push_back(k); break;
            case '{': ++balanceBrace; braces.push_back(k); break;
            case ']':
                --balanceSquare;
                if (!squares.empty()) {
                    close[squares.back()] = k;
                    squares.pop_back();
                }
                break;
            case '}':
                --balanceBrace;
                if (!braces.empty()) {
                    close[braces.back()] = k;
                    braces.pop_back();
                }
                break;
            default:
                break;
            }
        }
        if (balanceSquare != 0 || balanceBrace != 0)
            malformed = true;
        for (size_t k = n; k-- > 0;) {
            switch (p[k]) {
            case ';': end[k] = std::min(k + 2, n); break;
            case '*': {
                size_t m = k + 1;
                while (m < n && isDigit(p[m]))
                    ++m;
                end[k] = m < n ? end[m] : n;
                break;
            }
            case '[':
            case '{': end[k] = close[k] < n ? close[k] + 1 : n; break;
            default: end[k] = k + 1; break;
            }
        }
        // Nesting: how many groups and repetitions cover a position at most.
        std::vector<int> delta(n + 1, 0);
        for (size_t k = 0; k < n; ++k) {
            if (escaped[k] || (p[k] != '[' && p[k] != '{' && p[k] != '*'))
                continue;
            ++delta[k];
            --delta[end[k]];
        }
        int depth = 0;
        for (size_t k = 0; k < n; ++k) {
            depth += delta[k];
            if (depth > kMaxNesting)
                malformed = true;
        }
    }
};

// One match of a text against a picture. I and J are the positions in the picture and in the text
// (counted from 0); a term is the picture position at which the current scan stops.
class Matcher {
public:
    Matcher(const PictureShape& picture, std::vector<Ch>& text)
        : p_(picture.p), close_(picture.close), end_(picture.end), n_(picture.p.size()), t_(text) {}

    size_t I = 0, J = 0;

    // Matches the whole text from the start; input left over is an error.
    TkxMatchResult Run() {
        I = 0;
        J = 0;
        memo_.clear();
        log_.clear();
        logging_ = false;
        seen_.clear();
        rows_[kProcess].assign(n_ + 1, -1);
        rows_[kRepeat].assign(n_ + 1, -1);
        rowCount_ = 0;
        rowWords_ = t_.size() / 64 + 1;
        steps_ = 0;
        budget_ = stepBudget();
        TkxMatchResult r = Process(n_);
        if (r != MatchError && r != MatchSyntaxError && J < t_.size())
            r = MatchError;
        if (steps_ > budget_)
            r = MatchError;  // too much work for one match: answered as no match
        return r;
    }

private:
    Ch P(size_t k) const {
        assert(k < n_);
        return p_[k];
    }

    void accept(Ch c) {
        assert(J < t_.size());
        if (t_[J] != c) {
            if (logging_)
                log_.push_back(Change{J, t_[J], nextVersion_++});
            t_[J] = c;
        }
        ++I;
        ++J;
    }

    // The alternative loop, remembered per (I, J) (see Outcome).
    TkxMatchResult Process(size_t term) {
        const bool again = seenBefore(kProcess, I);
        const uint64_t key = again ? memoKey(kProcess, I, J) : 0;
        if (again && recall(key))
            return lastRecalled_;
        const bool logged = logging_;
        const size_t logBefore = log_.size();
        const size_t outerRead = readEnd_;
        readEnd_ = 0;
        const TkxMatchResult r = Alternatives(term);
        const size_t read = readEnd_;
        readEnd_ = std::max(outerRead, read);
        if (unchangedSince(logBefore) && again && logged)
            memo_[key] = Outcome{I, J, read, version(), r};
        return r;
    }

    // Tries the alternatives from I up to term until one does not fail.
    TkxMatchResult Alternatives(size_t term) {
        TCountGuard depth(depth_);
        if (depth_ > 2 * kMaxNesting + 8)
            return MatchSyntaxError;
        if (outOfSteps())
            return MatchError;
        // The literal blank rule's mark belongs to this invocation.
        TFlagGuard mark(blankMark_, false);
        size_t oldI = I, oldJ = J;
        bool incompleteSeen = false;
        size_t incompleteI = 0, incompleteJ = 0;
        TkxMatchResult r;
        for (;;) {
            r = Scan(term);
            if (isComplete(r) && incompleteSeen && J < incompleteJ) {
                r = MatchIncomplete;
                J = incompleteJ;
            }
            if (r != MatchError && r != MatchIncomplete)
                break;
            if (r == MatchIncomplete && !incompleteSeen) {
                incompleteSeen = true;
                incompleteI = I;
                incompleteJ = J;
            }
            I = oldI;
            J = oldJ;
            if (!nextAlternative(term)) {
                if (incompleteSeen) {
                    I = incompleteI;
                    J = incompleteJ;
                    return MatchIncomplete;
                }
                return r;
            }
            oldI = I;
        }
        return (r == MatchComplete && incompleteSeen) ? MatchAmbiguous : r;
    }

    // Moves I past the next ',' at this level; true when an alternative starts there before term.
    bool nextAlternative(size_t term) {
        while (I < term && P(I) != ',')
            I = end_[I];
        if (I >= term)
            return false;
        ++I;
        return I < term;
    }

    TkxMatchResult Scan(size_t term) {
        TkxMatchResult s = MatchEmpty;
        while (I < term && P(I) != ',') {
            if (outOfSteps())
                return MatchError;
            if (J >= t_.size())
                return CheckComplete(s, term);
            const Ch c = t_[J];
            readEnd_ = std::max(readEnd_, J + 1);
            switch (P(I)) {
            case '#':
                if (!isDigit(c))
                    return MatchError;
                accept(c);
                break;
            case '?':
                if (!isLetter(c))
                    return MatchError;
                accept(c);
                break;
            case '&':
                if (!isLetter(c))
                    return MatchError;
                accept(toUpper(c));
                break;
            case '~':
                if (!isLetter(c))
                    return MatchError;
                accept(toLower(c));
                break;
            case '!': accept(toUpper(c)); break;
            case '@': accept(c); break;
            case '*':
                s = Iteration(term);
                if (!isComplete(s))
                    return s;
                break;
            case '[':
                s = Group();
                if (isIncomplete(s) || s == MatchSyntaxError)
                    return s;
                if (s == MatchError)
                    s = MatchAmbiguous;  // the optional group is skipped
                break;
            case '{':
                s = Group();
                if (!isComplete(s))
                    return s;
                break;
            case ';':
                ++I;
                if (I >= n_)
                    return MatchSyntaxError;
                if (!literal(P(I), c))
                    return MatchError;
                break;
            default:
                if (!literal(P(I), c))
                    return MatchError;
                break;
            }
            s = s == MatchAmbiguous ? MatchIncompleteNoFill : MatchIncomplete;
        }
        return s == MatchIncompleteNoFill ? MatchAmbiguous : MatchComplete;
    }

    // A literal picture character against the input character c; stores the picture's character.
    bool literal(Ch lit, Ch c) {
        const bool last = J + 1 == t_.size();
        if (foldAscii(c) == foldAscii(lit)) {
            if (lit == ' ' && last)
                blankMark_ = true;
            accept(lit);
            return true;
        }
        // A blank typed last steps over the literal, once per pass.
        if (c == ' ' && last && !blankMark_) {
            accept(lit);
            return true;
        }
        return false;
    }

    // The text ran out at I: the match is complete when only skippable elements are left.
    TkxMatchResult CheckComplete(TkxMatchResult s, size_t term) {
        if (!isIncomplete(s))
            return s;
        return skippable(I, term) ? MatchAmbiguous : s;
    }

    // Walks elements from k that need no input; true when it reaches term (or the end of the
    // current alternative).
    bool skippable(size_t k, size_t term) {
        TCountGuard depth(depth_);
        if (depth_ > 2 * kMaxNesting + 8)
            return false;
        while (k < term) {
            switch (P(k)) {
            case '[': k = end_[k]; break;
            case '*': {
                const size_t m = k + 1;
                if (m < n_ && isDigit(P(m))) {
                    // Only a single-digit count of an optional group can be left out.
                    if (m + 1 < n_ && P(m + 1) == '[')
                        k = end_[k];
                    else
                        return false;
                } else {
                    k = end_[k];
                }
                break;
            }
            case ',': return true;
            case '{':
                if (!braceSkippable(k))
                    return false;
                k = end_[k];
                break;
            default: return false;
            }
        }
        return true;
    }

    // A required group can be left out when one of its alternatives needs no input.
    bool braceSkippable(size_t k) {
        const size_t c = close_[k];
        size_t a = k + 1;
        for (;;) {
            if (skippable(a, c))
                return true;
            while (a < c && P(a) != ',')
                a = end_[a];
            if (a >= c)
                return false;
            ++a;
        }
    }

    TkxMatchResult Iteration(size_t term) {
        const size_t star = I;
        ++I;  // the '*'
        uint64_t count = 0;
        while (I < n_ && isDigit(P(I))) {
            count = std::min(count * 10 + (P(I) - '0'), kMaxCount);
            ++I;
        }
        if (I >= term)
            return MatchSyntaxError;  // no element to repeat
        const size_t k = I, e = end_[k];
        TkxMatchResult r = MatchEmpty;
        if (count > 0) {
            std::vector<Ch> before;
            bool haveBefore = false;
            int idlePasses = 0;
            for (uint64_t pass = 0; pass < count; ++pass) {
                I = k;
                const size_t j0 = J, outerRead = readEnd_;
                readEnd_ = j0;
                r = Process(e);
                const size_t read = readEnd_;
                readEnd_ = std::max(outerRead, read);
                if (!isComplete(r)) {
                    if (r == MatchEmpty)  // the text ran out
                        return P(k) == '[' ? MatchComplete : MatchIncomplete;
                    return r;
                }
                if (J != j0) {
                    haveBefore = false;
                    idlePasses = 0;
                    continue;
                }
                // A pass that took no input depends only on the characters it read; when it left
                // them as it found them, every later pass repeats it exactly.
                const auto from = t_.begin() + static_cast<long>(j0);
                const auto to = t_.begin() + static_cast<long>(read);
                if ((haveBefore && std::equal(before.begin(), before.end(), from, to)) || ++idlePasses > 64)
                    break;
                before.assign(from, to);
                haveBefore = true;
            }
        } else {
            r = RepeatOpen(star, k, e);
        }
        I = e;
        return r;
    }

    // A repetition without a count: passes over the element at k while each takes input. Every pass
    // starts where the same repetition could have started, so the outcome from each start is
    // remembered: a later start inside the run is answered at once.
    TkxMatchResult RepeatOpen(size_t star, size_t k, size_t e) {
        const size_t logBefore = log_.size();
        const size_t base = passes_.size();
        TkxMatchResult r;
        size_t tailRead = 0;
        bool recalled = false, recording = false;
        for (;;) {
            const size_t j0 = J;
            const bool again = seenBefore(kRepeat, star);
            if (again && recall(memoKey(kRepeat, star, j0))) {
                r = lastRecalled_;
                tailRead = lastRead_;
                recalled = true;
                break;
            }
            I = k;
            const size_t outerRead = readEnd_;
            readEnd_ = 0;
            const size_t logAt = log_.size();
            r = Process(e);
            // Passes are kept from the first start met before (the text's history is kept from
            // then on too): only such starts are stored.
            recording = recording || again;
            if (recording) {
                assert(logging_);
                passes_.push_back(Pass{j0, readEnd_, logAt, again});
            }
            readEnd_ = std::max(outerRead, readEnd_);
            if (!isComplete(r) || J <= j0 || outOfSteps())
                break;
        }
        if (!recalled && (r == MatchEmpty || r == MatchError))
            r = MatchAmbiguous;
        // A start is stored with the text's version at that start, when the text is now as it was
        // then; looked at from the last start back, until one is not.
        bool same = true;
        for (size_t p = passes_.size(); p-- > base;) {
            tailRead = std::max(tailRead, passes_[p].read);
            same = same && unchangedSince(passes_[p].logAt);
            if (same && passes_[p].again)
                memo_[memoKey(kRepeat, star, passes_[p].j)] = Outcome{e, J, tailRead, version(), r};
        }
        passes_.resize(base);
        unchangedSince(logBefore);  // drops rewrites undone since the repetition began
        return r;
    }

    TkxMatchResult Group() {
        const size_t c = close_[I];
        const size_t e = c < n_ ? c + 1 : n_;
        ++I;
        const TkxMatchResult r = Process(c);
        if (!isIncomplete(r))
            I = e;
        return r;
    }

    const std::vector<Ch>& p_;
    const std::vector<size_t>& close_;
    const std::vector<size_t>& end_;
    const size_t n_;
    std::vector<Ch>& t_;
    bool blankMark_ = false;
    int depth_ = 0;
    size_t readEnd_ = 0;  // just after the last text position read since the mark was last reset

    // Remembered outcomes. A call of Process from (I, J), and an open repetition from its '*' and J,
    // depend only on the picture and on the text from J on, and change nothing outside it; so the
    // outcome of a call that left the text as it found it holds whenever the text is again exactly
    // as it was then. Nested repetitions inside alternatives come back to the same states over and
    // over; remembered, each state is worked out once or twice. Only a state met a second time is
    // stored, so a match that never backtracks pays one bit per state.
    struct Outcome {
        size_t I, J, readEnd;
        uint64_t version;  // the text's version when the call began (and ended)
        TkxMatchResult result;
    };
    struct Pass {
        size_t j, read, logAt;  // where the pass began, read up to, and the log's length then
        bool again;
    };
    enum Kind { kProcess = 0, kRepeat = 1 };

    uint64_t memoKey(Kind kind, size_t i, size_t j) const {
        return ((uint64_t(i) * (t_.size() + 1) + j) << 1) | unsigned(kind);
    }

    // Marks (i, J) of this kind as met; true when it was met before.
    bool seenBefore(Kind kind, size_t i) {
        int& row = rows_[kind][i];
        if (row < 0) {
            row = rowCount_++;
            seen_.resize(size_t(rowCount_) * rowWords_, 0);
        }
        uint64_t& word = seen_[size_t(row) * rowWords_ + J / 64];
        const uint64_t bit = uint64_t(1) << (J % 64);
        const bool before = word & bit;
        word |= bit;
        if (before && !logging_) {
            // The match backtracks: from here on the text's history is kept (see Change).
            logging_ = true;
            baseVersion_ = nextVersion_++;
            checked_.assign(t_.size(), 0);
        }
        return before;
    }

    bool recall(uint64_t key) {
        const auto it = memo_.find(key);
        if (it == memo_.end() || it->second.version != version())
            return false;
        const Outcome& o = it->second;
        I = o.I;
        J = o.J;
        readEnd_ = std::max(readEnd_, o.readEnd);
        lastRecalled_ = o.result;
        lastRead_ = o.readEnd;
        return true;
    }

    // The work one match may do (a step is an element scanned or an alternative loop entered):
    // far more than a picture needs with its outcomes remembered, a few steps per picture and text
    // position, yet a bound for any picture that the remembering does not tame (for a field's 255
    // characters and a mask of a few dozen characters, some milliseconds). A match that runs out is
    // answered as no match.
    uint64_t stepBudget() const { return 1'000'000 + 16 * uint64_t(t_.size() + 1) * (n_ + 1); }
    bool outOfSteps() { return ++steps_ > budget_; }

    // The text's history since the match first came back to a state (before that, nothing can be
    // recalled, so nothing is kept): every rewrite of a character, newest last, each with a version
    // number never given out before. The text is a function of the log, so a version names one
    // text; only calls begun while the log was kept are stored.
    struct Change {
        size_t at;
        Ch old;
        uint64_t version;
    };
    uint64_t version() const { return log_.empty() ? baseVersion_ : log_.back().version; }

    // True when the text is as it was while the log held `size` rewrites; the rewrites since (an
    // alternative that failed and one that wrote the same characters back) are then dropped, so
    // the text's version is again the one of then. Each rewrite is looked at once per call that
    // was under way when it was made.
    bool unchangedSince(size_t size) { return log_.size() == size || rewrittenBack(size); }
    bool rewrittenBack(size_t size) {
        ++checkSerial_;
        for (size_t k = size; k < log_.size(); ++k) {
            const Change& c = log_[k];
            if (checked_[c.at] == checkSerial_)
                continue;  // only the oldest rewrite of a position tells what it held
            checked_[c.at] = checkSerial_;
            if (t_[c.at] != c.old)
                return false;
        }
        log_.resize(size);
        return true;
    }

    std::unordered_map<uint64_t, Outcome> memo_;
    std::vector<int> rows_[2];     // per picture position: its row of seen_, or -1
    std::vector<uint64_t> seen_;   // one bit per (row, text position)
    int rowCount_ = 0;
    size_t rowWords_ = 1;
    std::vector<Pass> passes_;     // the passes of the open repetitions under way
    std::vector<Change> log_;
    bool logging_ = false;
    uint64_t baseVersion_ = 0;
    uint64_t nextVersion_ = 1;
    std::vector<uint64_t> checked_;  // per text position: the last check that looked at it
    uint64_t checkSerial_ = 0;
    uint64_t steps_ = 0, budget_ = 0;
    TkxMatchResult lastRecalled_ = MatchError;
    size_t lastRead_ = 0;
};

} // namespace

bool TkxPictureValidator::SyntaxCheckFails(std::string_view picture) {
    return PictureShape(picture).malformed;
}

TkxMatchResult TkxPictureValidator::MatchPicture(AnsiString& text, bool autoFill) {
    const PictureShape picture(picture_);
    if (picture.malformed)
        return MatchSyntaxError;
    if (text.empty())
        return MatchEmpty;
    std::vector<Ch> t = splitChars(text);
    Matcher matcher(picture, t);
    TkxMatchResult r = matcher.Run();
    if (r == MatchIncomplete && autoFill) {
        // Fill in the literal characters that must come next.
        const std::vector<Ch>& p = picture.p;
        size_t i = matcher.I;
        bool appended = false;
        while (i < p.size() && !isSpecial(p[i])) {
            if (p[i] == ';' && ++i >= p.size())
                break;
            t.push_back(p[i]);
            ++i;
            appended = true;
        }
        if (appended) {
            r = matcher.Run();
            if (r == MatchError)
                return MatchIncomplete;  // the text stays as it was passed in
        }
    }
    text = joinChars(t);
    if (r == MatchAmbiguous)
        return MatchComplete;
    if (r == MatchIncompleteNoFill)
        return MatchIncomplete;
    return r;
}

bool TkxPictureValidator::IsValidValue(const AnsiString& text) {
    AnsiString copy = text;
    const TkxMatchResult r = MatchPicture(copy, false);
    return r == MatchComplete || r == MatchEmpty;
}

bool TkxPictureValidator::CheckInput(AnsiString& text, bool suppressFill) {
    return MatchPicture(text, autoFill_ && !suppressFill) != MatchError;
}
