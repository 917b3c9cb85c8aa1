#include "data/DBFormat.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

// ---- dates ----

namespace {
constexpr int64_t kDaysFrom1899To1970 = 25569;
constexpr double kMsPerDay = 86400000.0;

// Days since 1 January 1970 of a civil date, and back (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// The value's whole days and milliseconds of the day; a negative value counts its fraction as
// time after midnight of the day before zero, as the date-time value has always done.
void split(TDateTime value, int64_t& days, int64_t& ms) {
    int64_t total = std::llround(value * kMsPerDay);
    if (value < 0) {
        days = static_cast<int64_t>(std::trunc(value));
        ms = std::llround(std::fabs(value - static_cast<double>(days)) * kMsPerDay);
    } else {
        days = total / 86400000;
        ms = total % 86400000;
    }
    if (ms >= 86400000) {
        days += value < 0 ? -1 : 1;
        ms -= 86400000;
    }
}
} // namespace

int32_t TimeOfDayMs(TDateTime value) {
    int64_t ms = std::llround(std::fabs(value - std::trunc(value)) * kMsPerDay);
    return static_cast<int32_t>(std::min<int64_t>(ms, 86399999));
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    out = static_cast<double>(daysFromCivil(year, month, day) + kDaysFrom1899To1970);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime v;
    if (!TryEncodeDate(year, month, day, v))
        throw EConvertError("Invalid argument to date encode");
    return v;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return ((hour * 60.0 + minute) * 60.0 + second + msec / 1000.0) / 86400.0;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    int64_t days, ms;
    split(value, days, ms);
    civilFromDays(days - kDaysFrom1899To1970, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    int64_t days, ms;
    split(value, days, ms);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

AnsiString FormatDateTime(std::string_view format, TDateTime value) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    const TFormatSettings& fs = FormatSettings();
    bool ampm = false;
    for (size_t i = 0; i + 4 < format.size() + 1; ++i)
        if (SameText(format.substr(i, 5), "am/pm"))
            ampm = true;
    AnsiString out;
    auto num = [&out](int v, int width) {
        AnsiString digits = std::to_string(v);
        if (static_cast<int>(digits.size()) < width)
            digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
        out += digits;
    };
    bool lastWasHour = false;
    for (size_t i = 0; i < format.size();) {
        char c = format[i];
        char lc = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        size_t run = 1;
        while (i + run < format.size() && (format[i + run] | 0x20) == lc && lc >= 'a' && lc <= 'z')
            ++run;
        if (c == '"' || c == '\'') {
            size_t end = format.find(c, i + 1);
            if (end == std::string_view::npos)
                end = format.size();
            out.append(format.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (codepage::CharLength(format, i) == 2) {
            out.append(format.substr(i, 2));
            i += 2;
            continue;
        }
        switch (lc) {
        case 'y':
            if (run >= 3)
                num(y, 4);
            else
                num(y % 100, 2);
            break;
        case 'm':
            // After an hour, "m" means minutes.
            if (lastWasHour && run <= 2)
                num(mi, run == 2 ? 2 : 1);
            else if (run >= 3)
                out += fs.ShortMonthNames[mo - 1];
            else
                num(mo, run == 2 ? 2 : 1);
            break;
        case 'd':
            num(d, run >= 2 ? 2 : 1);
            break;
        case 'h':
            num(ampm ? (h % 12 == 0 ? 12 : h % 12) : h, run >= 2 ? 2 : 1);
            break;
        case 'n':
            num(mi, run >= 2 ? 2 : 1);
            break;
        case 's':
            num(s, run >= 2 ? 2 : 1);
            break;
        case 'z':
            num(ms, run >= 3 ? 3 : 1);
            break;
        case 'c':
            out += FormatDateTime(fs.ShortDateFormat, value);
            if (h || mi || s || ms)
                out += " " + FormatDateTime(fs.LongTimeFormat, value);
            break;
        case 'a':
            if (SameText(format.substr(i, 5), "am/pm")) {
                out += h < 12 ? "am" : "pm";
                if (format[i] == 'A')
                    out = out.substr(0, out.size() - 2) + (h < 12 ? "AM" : "PM");
                run = 5;
                break;
            }
            [[fallthrough]];
        default:
            out += c;
            run = 1;
            if (c == '/')
                out.back() = fs.DateSeparator;
            else if (c == ':')
                out.back() = fs.TimeSeparator;
            break;
        }
        if (lc == 'h')
            lastWasHour = true;
        else if (lc >= 'a' && lc <= 'z')
            lastWasHour = false;
        i += run;
    }
    return out;
}

AnsiString DateToStr(TDateTime value) { return FormatDateTime(FormatSettings().ShortDateFormat, value); }
AnsiString TimeToStr(TDateTime value) { return FormatDateTime(FormatSettings().LongTimeFormat, value); }
AnsiString DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }

namespace {
struct Scanner {
    std::string_view s;
    size_t pos = 0;
    void blanks() {
        while (pos < s.size() && s[pos] == ' ')
            ++pos;
    }
    bool number(int& v, int maxDigits = 4) {
        blanks();
        size_t start = pos;
        v = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < size_t(maxDigits))
            v = v * 10 + (s[pos++] - '0');
        return pos > start;
    }
    bool take(char c) {
        blanks();
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool atEnd() {
        blanks();
        return pos >= s.size();
    }
};

bool scanDate(Scanner& sc, TDateTime& out) {
    const TFormatSettings& fs = FormatSettings();
    int n[3], count = 0;
    if (!sc.number(n[0]))
        return false;
    count = 1;
    while (count < 3 && sc.take(fs.DateSeparator)) {
        if (!sc.number(n[count]))
            return false;
        ++count;
    }
    if (count < 2)
        return false;
    char order = 'M';
    for (char c : fs.ShortDateFormat) {
        char u = static_cast<char>(c & ~0x20);
        if (u == 'D' || u == 'M' || u == 'Y') {
            order = u;
            break;
        }
    }
    int y, m, d;
    if (count == 2) {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        y = tm.tm_year + 1900;
        if (order == 'D')
            d = n[0], m = n[1];
        else
            m = n[0], d = n[1];
    } else if (order == 'Y') {
        y = n[0], m = n[1], d = n[2];
    } else if (order == 'D') {
        d = n[0], m = n[1], y = n[2];
    } else {
        m = n[0], d = n[1], y = n[2];
    }
    if (count == 3 && y < 100) {
        y += 1900;
        if (y < 1950)
            y += 100;
    }
    return TryEncodeDate(y, m, d, out);
}

bool scanTime(Scanner& sc, TDateTime& out) {
    const TFormatSettings& fs = FormatSettings();
    int h, mi = 0, s = 0, ms = 0;
    if (!sc.number(h, 2) || !sc.take(fs.TimeSeparator) || !sc.number(mi, 2))
        return false;
    if (sc.take(fs.TimeSeparator)) {
        if (!sc.number(s, 2))
            return false;
        if (sc.take(fs.DecimalSeparator) && !sc.number(ms, 3))
            return false;
    }
    sc.blanks();
    std::string_view rest = sc.s.substr(sc.pos);
    if (rest.size() >= 2 && (SameText(rest.substr(0, 2), "AM") || SameText(rest.substr(0, 2), "PM"))) {
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + ((rest[0] | 0x20) == 'p' ? 12 : 0);
        sc.pos += 2;
    }
    if (h > 23 || mi > 59 || s > 59)
        return false;
    out = EncodeTime(h, mi, s, ms);
    return true;
}
} // namespace

TDateTime StrToDate(std::string_view s) {
    Scanner sc{s};
    TDateTime v;
    if (!scanDate(sc, v) || !sc.atEnd())
        throw EConvertError(Format("'%s' is not a valid date", s));
    return v;
}

TDateTime StrToTime(std::string_view s) {
    Scanner sc{s};
    TDateTime v;
    if (!scanTime(sc, v) || !sc.atEnd())
        throw EConvertError(Format("'%s' is not a valid time", s));
    return v;
}

bool TryStrToDateTime(std::string_view s, TDateTime& out) {
    Scanner sc{s};
    TDateTime date = 0, time = 0;
    bool hasDate = s.find(FormatSettings().DateSeparator) != std::string_view::npos;
    if (hasDate && !scanDate(sc, date))
        return false;
    if (!sc.atEnd() && !scanTime(sc, time))
        return false;
    if (!sc.atEnd() || (!hasDate && sc.pos == 0))
        return false;
    out = date < 0 ? date - time : date + time;
    return true;
}

TDateTime StrToDateTime(std::string_view s) {
    TDateTime v;
    if (!TryStrToDateTime(s, v))
        throw EConvertError(Format("'%s' is not a valid date and time", s));
    return v;
}

// ---- numbers ----

namespace {
// Splits a format into its ";" sections, quotes respected.
std::vector<std::string_view> sections(std::string_view format) {
    std::vector<std::string_view> out;
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out.push_back(format.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(format.substr(start));
    return out;
}

AnsiString group(const AnsiString& digits, char sep) {
    AnsiString out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += sep;
        out += digits[i];
    }
    return out;
}

AnsiString formatSection(std::string_view sec, double value) {
    const TFormatSettings& fs = FormatSettings();
    AnsiString prefix, suffix;
    int intZeros = 0, decZeros = 0, decHashes = 0, expZeros = 0;
    bool hasPoint = false, grouping = false, anyDigit = false, hasExp = false, expPlus = false;
    bool afterDigits = false;
    for (size_t i = 0; i < sec.size(); ++i) {
        char c = sec[i];
        AnsiString& lit = afterDigits ? suffix : prefix;
        if (c == '"' || c == '\'') {
            size_t end = sec.find(c, i + 1);
            if (end == std::string_view::npos)
                end = sec.size();
            lit.append(sec.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '0' || c == '#') {
            if (afterDigits && !hasExp && !suffix.empty()) {
                suffix.clear();  // a literal between placeholders is dropped
            }
            anyDigit = true;
            if (hasPoint) {
                if (c == '0')
                    decZeros = decHashes + 1 + decZeros, decHashes = 0;
                else
                    ++decHashes;
            } else if (c == '0' || intZeros > 0) {
                ++intZeros;
            }
            afterDigits = true;
        } else if (c == '.' && !hasPoint && !hasExp) {
            hasPoint = true;
            afterDigits = true;
        } else if (c == ',' && anyDigit && !hasPoint) {
            grouping = true;
        } else if ((c == 'E' || c == 'e') && anyDigit && i + 1 < sec.size() &&
                   (sec[i + 1] == '+' || sec[i + 1] == '-')) {
            hasExp = true;
            expPlus = sec[i + 1] == '+';
            i += 2;
            while (i < sec.size() && sec[i] == '0')
                ++expZeros, ++i;
            --i;
        } else if (c == '\\' && i + 1 < sec.size()) {
            lit += sec[++i];
        } else {
            lit += c;
        }
    }
    if (!anyDigit)
        return prefix + suffix;
    int maxDec = decZeros + decHashes;
    char buf[400];
    AnsiString number;
    if (hasExp) {
        std::snprintf(buf, sizeof buf, "%.*e", maxDec, std::fabs(value));
        AnsiString s = buf;
        size_t e = s.find('e');
        AnsiString mant = s.substr(0, e);
        int exp = std::atoi(s.c_str() + e + 1);
        while (mant.size() > 1 && (int)(mant.size() - mant.find('.') - 1) > decZeros && mant.back() == '0')
            mant.pop_back();
        if (!mant.empty() && mant.back() == '.')
            mant.pop_back();
        for (char& ch : mant)
            if (ch == '.')
                ch = fs.DecimalSeparator;
        AnsiString eb = std::to_string(std::abs(exp));
        if (static_cast<int>(eb.size()) < expZeros)
            eb.insert(0, static_cast<size_t>(expZeros) - eb.size(), '0');
        number = mant + "E" + (exp < 0 ? "-" : (expPlus ? "+" : "")) + eb;
    } else {
        // Halves round away from zero, as people write numbers.
        double scale = std::pow(10.0, maxDec);
        double magnitude = std::fabs(value);
        if (magnitude * scale < 1e15)
            magnitude = std::round(magnitude * scale) / scale;
        std::snprintf(buf, sizeof buf, "%.*f", maxDec, magnitude);
        AnsiString s = buf;
        size_t point = s.find('.');
        AnsiString intPart = s.substr(0, point), dec = point == AnsiString::npos ? "" : s.substr(point + 1);
        while ((int)dec.size() > decZeros && dec.back() == '0')
            dec.pop_back();
        size_t nz = intPart.find_first_not_of('0');
        intPart = nz == AnsiString::npos ? "" : intPart.substr(nz);
        while ((int)intPart.size() < intZeros)
            intPart.insert(intPart.begin(), '0');
        if (grouping)
            intPart = group(intPart, fs.ThousandSeparator);
        number = intPart;
        if (!dec.empty())
            number += fs.DecimalSeparator + dec;
    }
    return prefix + number + suffix;
}

bool roundsToZero(std::string_view sec, double value) {
    size_t point = sec.find('.');
    int decimals = 0;
    if (point != std::string_view::npos)
        for (size_t i = point + 1; i < sec.size() && (sec[i] == '0' || sec[i] == '#'); ++i)
            ++decimals;
    return std::fabs(value) < 0.5 * std::pow(10.0, -decimals);
}
} // namespace

AnsiString FormatFloat(std::string_view format, double value) {
    if (format.empty())
        return FloatToStr(value, 15);
    std::vector<std::string_view> secs = sections(format);
    if (secs.size() >= 3 && !secs[2].empty() && roundsToZero(secs[0], value))
        return formatSection(secs[2], 0);
    if (value < 0 && secs.size() >= 2 && !secs[1].empty())
        return formatSection(secs[1], value);
    AnsiString s = formatSection(secs[0], value);
    if (value < 0 && !roundsToZero(secs[0], value))
        s = "-" + s;
    return s;
}
