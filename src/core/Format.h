#pragma once
// printf-like formatting of messages with the forms the system uses: %s %d %u %x %X %p %f %g %e %c %%,
// with flags, width and precision ("%.8x", "%-10s", "%5.2f"). Arguments are type-checked at run
// time: a mismatch formats what it can instead of reading memory it does not own.
#include "core/AnsiString.h"

#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

class FormatArg {
public:
    enum Kind { Int, UInt, Float, Text, Pointer };
    template <typename T>
        requires std::is_integral_v<T>
    FormatArg(T v) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Int;
            i_ = v;
        } else {
            kind_ = UInt;
            u_ = v;
        }
    }
    FormatArg(double v) : kind_(Float), f_(v) {}
    FormatArg(std::string_view v) : kind_(Text), s_(v) {}
    FormatArg(const std::string& v) : kind_(Text), s_(v) {}
    FormatArg(const char* v) : kind_(Text), s_(v ? v : "") {}
    FormatArg(const void* v) : kind_(Pointer), p_(v) {}

    Kind kind() const { return kind_; }
    int64_t asInt() const;
    uint64_t asUInt() const;
    double asFloat() const;
    std::string_view asText() const { return kind_ == Text ? s_ : std::string_view(); }
    const void* asPointer() const { return p_; }

private:
    Kind kind_;
    int64_t i_ = 0;
    uint64_t u_ = 0;
    double f_ = 0;
    std::string_view s_;
    const void* p_ = nullptr;
};

AnsiString FormatArgs(std::string_view fmt, const std::vector<FormatArg>& args);

template <typename... Args> AnsiString Format(std::string_view fmt, const Args&... args) {
    return FormatArgs(fmt, std::vector<FormatArg>{FormatArg(args)...});
}
