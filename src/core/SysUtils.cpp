#include "core/SysUtils.h"

#include "core/Exception.h"
#include "core/Format.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool TryStrToInt64(std::string_view s, int64_t& value) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        neg = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (UINT64_MAX - d) / base)
            return false;
        v = v * base + d;
    }
    if (base == 10 && v > (neg ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX)))
        return false;
    value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

int64_t StrToInt64(std::string_view s) {
    int64_t v;
    if (!TryStrToInt64(s, v))
        throw EConvertError(Format("'%s' is not a valid integer value", s));
    return v;
}

int StrToInt(std::string_view s) {
    int64_t v;
    if (!TryStrToInt64(s, v) || v < INT32_MIN || v > UINT32_MAX ||
        (v > INT32_MAX && s.find_first_of("$xX") == std::string_view::npos))
        throw EConvertError(Format("'%s' is not a valid integer value", s));
    return static_cast<int>(static_cast<int32_t>(v));
}

int StrToIntDef(std::string_view s, int def) {
    try {
        return StrToInt(s);
    } catch (const EConvertError&) {
        return def;
    }
}

AnsiString IntToStr(int64_t v) { return std::to_string(v); }

bool TryStrToFloat(std::string_view s, double& value) {
    AnsiString t = Trim(s);
    if (t.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE)
        return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view s) {
    double v;
    if (!TryStrToFloat(s, v))
        throw EConvertError(Format("'%s' is not a valid floating point value", s));
    return v;
}

AnsiString FloatToStr(double v, int digits) {
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v > 0 ? "INF" : "-INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    return buf;
}

bool FileExists(const AnsiString& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

AnsiString ExtractFileName(std::string_view path) {
    size_t p = path.rfind('/');
    return AnsiString(p == std::string_view::npos ? path : path.substr(p + 1));
}

AnsiString ExtractFilePath(std::string_view path) {
    size_t p = path.rfind('/');
    return p == std::string_view::npos ? AnsiString() : AnsiString(path.substr(0, p + 1));
}

AnsiString ChangeFileExt(std::string_view path, std::string_view ext) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return AnsiString(path) + AnsiString(ext);
    return AnsiString(path.substr(0, dot)) + AnsiString(ext);
}

AnsiString ExeName() {
    static const AnsiString name = [] {
        char buf[4096];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        return n > 0 ? AnsiString(buf, static_cast<size_t>(n)) : AnsiString();
    }();
    return name;
}

AnsiString ExeDir() { return ExtractFilePath(ExeName()); }

AnsiString HomeDir() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    struct passwd entry, *found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &entry, buf, sizeof buf, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return "/nonexistent";
}

bool WritableOnlyByOwner(const AnsiString& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_uid == ::geteuid() || st.st_uid == 0) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

AnsiString ExeBaseName() {
    AnsiString name = ExtractFileName(ExeName());
    return name.substr(0, name.find('.'));
}
