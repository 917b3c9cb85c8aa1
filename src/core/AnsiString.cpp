#include "core/AnsiString.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <vector>

namespace codepage {
namespace {
std::string& current() {
    static std::string name = [] {
        const char* env = std::getenv("KESTRIN_CODEPAGE");
        return std::string(env && *env ? env : "BIG5");
    }();
    return name;
}

// Which bytes lead and which trail a two-byte character, per code page; single-byte code pages and
// UTF-8 have neither. Built when the code page is set, so the walk costs two table reads a byte.
struct ByteClasses {
    bool lead[256] = {};
    bool trail[256] = {};
};

// Code page names are matched without regard to ASCII letter case, as iconv matches them.
std::string upperName(const std::string& name) {
    std::string n = name;
    for (char& ch : n)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 32);
    return n;
}

ByteClasses classesOf(const std::string& name) {
    const std::string n = upperName(name);
    ByteClasses c;
    auto mark = [](bool* table, int from, int to) {
        for (int b = from; b <= to; ++b)
            table[b] = true;
    };
    if (n == "BIG5" || n == "BIG5-HKSCS" || n == "CP950") {
        mark(c.lead, 0x81, 0xFE);
        mark(c.trail, 0x40, 0x7E);
        mark(c.trail, 0xA1, 0xFE);
    } else if (n == "GBK" || n == "CP936") {
        mark(c.lead, 0x81, 0xFE);
        mark(c.trail, 0x40, 0x7E);
        mark(c.trail, 0x80, 0xFE);
    } else if (n == "SJIS" || n == "CP932") {
        mark(c.lead, 0x81, 0x9F);
        mark(c.lead, 0xE0, 0xFC);
        mark(c.trail, 0x40, 0x7E);
        mark(c.trail, 0x80, 0xFC);
    } else if (n == "EUC-KR") {
        mark(c.lead, 0xA1, 0xFE);
        mark(c.trail, 0xA1, 0xFE);
    } else if (n == "CP949") {
        mark(c.lead, 0x81, 0xFE);
        mark(c.trail, 0x41, 0x5A);
        mark(c.trail, 0x61, 0x7A);
        mark(c.trail, 0x81, 0xFE);
    }
    return c;
}

ByteClasses& classes() {
    static ByteClasses c = classesOf(current());
    return c;
}

// Bytes of the UTF-8 sequence at s: its lead byte and the continuation bytes that follow it.
size_t utf8Length(const char* s, size_t left) {
    unsigned char c = static_cast<unsigned char>(*s);
    size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1, n = 1;
    while (n < want && n < left && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// A converter per pair of encodings, opened once per thread (opening one costs far more than a
// short conversion) and put back to its initial state before each use.
iconv_t converter(const char* to, const char* from) {
    struct Open {
        std::string to, from;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Open> open;
        ~Cache() {
            for (Open& o : open)
                if (o.cd != reinterpret_cast<iconv_t>(-1))
                    iconv_close(o.cd);
        }
    };
    thread_local Cache cache;
    for (Open& o : cache.open)
        if (o.to == to && o.from == from) {
            if (o.cd != reinterpret_cast<iconv_t>(-1))
                iconv(o.cd, nullptr, nullptr, nullptr, nullptr);
            return o.cd;
        }
    cache.open.push_back({to, from, iconv_open(to, from)});
    return cache.open.back().cd;
}

// Converts with iconv, replacing what cannot be converted by `bad` and going on; `unit` bytes of
// input are passed over at each replacement (0: one UTF-8 sequence).
std::string convert(const char* to, const char* from, const char* in, size_t inLen, std::string_view bad,
                    size_t unit) {
    iconv_t cd = converter(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in, inLen);
    std::string out;
    std::vector<char> buf(inLen * 4 + 16);
    char* src = const_cast<char*>(in);
    size_t left = inLen;
    while (left > 0) {
        char* dst = buf.data();
        size_t room = buf.size();
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf.data(), dst - buf.data());
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            out.append(bad);
            size_t skip = unit ? std::min(left, unit) : utf8Length(src, left);
            src += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

// Converts without replacing anything: false when the text is not valid in `from` or has a character
// `to` lacks.
bool convertStrict(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    bool ok = true;
    while (ok && left > 0) {
        char* dst = buf.data();
        size_t room = buf.size();
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf.data(), dst - buf.data());
        ok = r != static_cast<size_t>(-1) || errno == E2BIG;
    }
    if (ok) {
        char* dst = buf.data();
        size_t room = buf.size();
        ok = iconv(cd, nullptr, nullptr, &dst, &room) != static_cast<size_t>(-1);
        out.append(buf.data(), dst - buf.data());
    }
    iconv_close(cd);
    return ok;
}
} // namespace

AnsiString CheckName(const std::string& iconvName) {
    iconv_t to = iconv_open(iconvName.c_str(), "UTF-8");
    if (to == reinterpret_cast<iconv_t>(-1))
        return "Unknown code page '" + iconvName + "' in KESTRIN_CODEPAGE";
    iconv_close(to);
    iconv_t from = iconv_open("UTF-8", iconvName.c_str());
    if (from == reinterpret_cast<iconv_t>(-1))
        return "Unknown code page '" + iconvName + "' in KESTRIN_CODEPAGE";
    const ByteClasses known = classesOf(iconvName);
    const bool pairsKnown = std::count(std::begin(known.lead), std::end(known.lead), true) > 0;
    const bool utf8 = upperName(iconvName) == "UTF-8" || upperName(iconvName) == "UTF8";
    bool usable = true;
    for (int b = 1; b < 256 && usable; ++b) {
        char in = static_cast<char>(b), out[8];
        char* src = &in;
        char* dst = out;
        size_t left = 1, room = sizeof out;
        iconv(from, nullptr, nullptr, nullptr, nullptr);
        bool alone = iconv(from, &src, &left, &dst, &room) != static_cast<size_t>(-1);
        bool incomplete = !alone && errno == EINVAL;
        // ASCII must stay ASCII; a byte that starts a longer character needs a known walk.
        if (b < 0x80)
            usable = alone && dst == out + 1 && out[0] == in;
        else if (incomplete)
            usable = utf8 || pairsKnown;
    }
    iconv_close(from);
    if (!usable)
        return "Code page '" + iconvName +
               "' in KESTRIN_CODEPAGE is not supported: use BIG5, another double-byte code page this program "
               "knows, a single-byte code page or UTF-8";
    return {};
}

std::string SystemEncoding() {
    std::string encoding;
    if (locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        encoding = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
    }
    const std::string n = upperName(encoding);
    if (n.empty() || n == "ANSI_X3.4-1968" || n == "ASCII" || n == "US-ASCII")
        return "UTF-8";
    return encoding;
}

AnsiString FromEncoding(std::string_view text, const std::string& encoding) {
    if (upperName(encoding) == upperName(current()))
        return AnsiString(text);
    std::string utf8;
    if (!convertStrict("UTF-8", encoding.c_str(), text, utf8))
        return AnsiString(text);
    return FromUtf8(utf8);
}

const std::string& Name() { return current(); }
void SetName(const std::string& iconvName) {
    current() = iconvName;
    classes() = classesOf(iconvName);
}

bool IsLeadByte(unsigned char c) { return classes().lead[c]; }
bool IsTrailByte(unsigned char c) { return classes().trail[c]; }

size_t CharLength(std::string_view s, size_t i) {
    const ByteClasses& c = classes();
    if (i + 1 >= s.size())
        return 1;
    return c.lead[static_cast<unsigned char>(s[i])] && c.trail[static_cast<unsigned char>(s[i + 1])] ? 2 : 1;
}

AnsiString FromUtf8(std::string_view utf8) {
    if (current() == "UTF-8")
        return AnsiString(utf8);
    return convert(current().c_str(), "UTF-8", utf8.data(), utf8.size(), "?", 0);
}

std::string ToUtf8(std::string_view ansi) {
    if (current() == "UTF-8")
        return std::string(ansi);
    return convert("UTF-8", current().c_str(), ansi.data(), ansi.size(), "\xEF\xBF\xBD", 1);
}

std::u16string ToUtf16(std::string_view ansi) {
    std::string raw = convert("UTF-16LE", current().c_str(), ansi.data(), ansi.size(), "\xFD\xFF", 1);
    std::u16string out(raw.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                       (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
    return out;
}

AnsiString FromUtf16(std::u16string_view utf16) {
    std::string raw(utf16.size() * 2, '\0');
    for (size_t i = 0; i < utf16.size(); ++i) {
        raw[2 * i] = static_cast<char>(utf16[i] & 0xFF);
        raw[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
    }
    return convert(current().c_str(), "UTF-16LE", raw.data(), raw.size(), "?", 2);
}
} // namespace codepage

namespace {
template <typename Fold> AnsiString foldCase(std::string_view s, Fold fold) {
    AnsiString out(s);
    for (size_t i = 0; i < out.size();) {
        size_t n = codepage::CharLength(out, i);
        if (n == 1)
            out[i] = fold(out[i]);
        i += n;
    }
    return out;
}
} // namespace

AnsiString UpperCase(std::string_view s) {
    return foldCase(s, [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; });
}
AnsiString LowerCase(std::string_view s) {
    return foldCase(s, [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; });
}

namespace {
// The byte at i of s as UpperCase gives it, without a copy; `next` is where the character after the
// one that holds byte i - 1 starts (0 to begin with), so the walk runs by whole characters.
unsigned char upperAt(std::string_view s, size_t i, size_t& next) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (i == next) {
        size_t n = codepage::CharLength(s, i);
        next = i + n;
        if (n == 1 && c >= 'a' && c <= 'z')
            return static_cast<unsigned char>(c - 32);
    }
    return c;
}

int compareFolded(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size()), nextA = 0, nextB = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = upperAt(a, i, nextA), y = upperAt(b, i, nextB);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

int CompareText(std::string_view a, std::string_view b) { return compareFolded(a, b); }
bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && compareFolded(a, b) == 0; }

int CompareStr(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

AnsiString TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    return AnsiString(s.substr(i));
}
AnsiString TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return AnsiString(s.substr(0, n));
}
AnsiString Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

size_t AnsiFind(std::string_view s, std::string_view sub, size_t from) {
    if (sub.empty())
        return from <= s.size() ? from : std::string_view::npos;
    size_t i = 0;
    while (i < s.size()) {
        if (i >= from && s.compare(i, sub.size(), sub) == 0)
            return i;
        i += codepage::CharLength(s, i);
    }
    return std::string_view::npos;
}

size_t AnsiCharCount(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++n)
        i += codepage::CharLength(s, i);
    return n;
}

size_t AnsiLeftLength(std::string_view s, size_t maxBytes) {
    if (s.size() <= maxBytes)
        return s.size();
    size_t i = 0;
    while (i < s.size()) {
        size_t step = codepage::CharLength(s, i);
        if (i + step > maxBytes)
            break;
        i += step;
    }
    return i;
}

AnsiString AnsiLeft(std::string_view s, size_t maxBytes) {
    return AnsiString(s.substr(0, AnsiLeftLength(s, maxBytes)));
}

namespace {
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
} // namespace

AnsiTextMatcher::AnsiTextMatcher(std::string_view text) : text_(text), single_(text.size(), 0) {
    for (int b = 0; b < 256; ++b) {
        lead_[b] = codepage::IsLeadByte(static_cast<unsigned char>(b));
        trail_[b] = codepage::IsTrailByte(static_cast<unsigned char>(b));
    }
    for (size_t i = 0; i < text_.size();) {
        const size_t n = codepage::CharLength(text_, i);
        if (n == 1) {
            single_[i] = 1;
            text_[i] = asciiLower(text_[i]);
            endsInLead_ = lead_[static_cast<unsigned char>(text_[i])];
        } else {
            endsInLead_ = false;
        }
        i += n;
    }
}

bool AnsiTextMatcher::matchesAt(std::string_view s, size_t i) const {
    const size_t n = text_.size();
    if (s.size() - i < n)
        return false;
    for (size_t k = 0; k < n; ++k) {
        const char c = single_[k] ? asciiLower(s[i + k]) : s[i + k];
        if (c != text_[k])
            return false;
    }
    // A lone lead byte at the text's end matches only where `s` has no trail byte after it.
    return !(endsInLead_ && i + n < s.size() && trail_[static_cast<unsigned char>(s[i + n])]);
}

bool AnsiTextMatcher::In(std::string_view s) const {
    const size_t n = text_.size();
    if (n == 0)
        return true;
    if (s.size() < n)
        return false;
    // Bytes that may start a match are found by a plain comparison; only then is the character walk
    // (from the last boundary known) asked whether one starts there.
    const auto first = static_cast<unsigned char>(text_[0]);
    const auto other = single_[0] && first >= 'a' && first <= 'z' ? static_cast<unsigned char>(first - 'a' + 'A') : first;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t last = s.size() - n;
    size_t boundary = 0;
    for (size_t i = 0; i <= last; ++i) {
        if (p[i] != first && p[i] != other)
            continue;
        while (boundary < i)
            boundary += lead_[p[boundary]] && boundary + 1 < s.size() && trail_[p[boundary + 1]] ? 2 : 1;
        if (boundary == i && matchesAt(s, i))
            return true;
    }
    return false;
}
