#include "core/Format.h"

#include <cstdio>

int64_t FormatArg::asInt() const {
    switch (kind_) {
    case Int: return i_;
    case UInt: return static_cast<int64_t>(u_);
    case Float: return static_cast<int64_t>(f_);
    case Pointer: return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p_));
    default: return 0;
    }
}

uint64_t FormatArg::asUInt() const {
    if (kind_ == Int)
        return static_cast<uint64_t>(i_);
    if (kind_ == UInt)
        return u_;
    return static_cast<uint64_t>(asInt());
}

double FormatArg::asFloat() const {
    switch (kind_) {
    case Float: return f_;
    case Int: return static_cast<double>(i_);
    case UInt: return static_cast<double>(u_);
    default: return 0;
    }
}

AnsiString FormatArgs(std::string_view fmt, const std::vector<FormatArg>& args) {
    AnsiString out;
    size_t next = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        size_t start = i++;
        if (i < fmt.size() && fmt[i] == '%') {
            out += '%';
            continue;
        }
        std::string directive = "%";
        while (i < fmt.size() && std::string_view("-+ #0").find(fmt[i]) != std::string_view::npos)
            directive += fmt[i++];
        while (i < fmt.size() && ((fmt[i] >= '0' && fmt[i] <= '9') || fmt[i] == '.'))
            directive += fmt[i++];
        if (i >= fmt.size()) {
            out.append(fmt.substr(start));
            break;
        }
        char conv = fmt[i];
        FormatArg none{std::string_view()};
        const FormatArg& a = next < args.size() ? args[next] : none;
        ++next;
        char buf[128];
        switch (conv) {
        case 'd':
        case 'i':
            if (a.kind() == FormatArg::Text) {
                out.append(a.asText());
                continue;
            }
            std::snprintf(buf, sizeof buf, (directive + "lld").c_str(), static_cast<long long>(a.asInt()));
            break;
        case 'u':
        case 'x':
        case 'X':
            if (a.kind() == FormatArg::Text) {
                out.append(a.asText());
                continue;
            }
            {
                // A negative 32-bit code prints as its 32-bit pattern, as a message code reads.
                uint64_t v = a.asUInt();
                if (a.kind() == FormatArg::Int && a.asInt() < 0 && a.asInt() >= INT32_MIN)
                    v &= 0xFFFFFFFFu;
                std::snprintf(buf, sizeof buf, (directive + "ll" + conv).c_str(), static_cast<unsigned long long>(v));
            }
            break;
        case 'p':
            std::snprintf(buf, sizeof buf, "%016llX",
                          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a.asPointer())));
            break;
        case 'f':
        case 'g':
        case 'e':
        case 'G':
        case 'E':
            std::snprintf(buf, sizeof buf, (directive + conv).c_str(), a.asFloat());
            break;
        case 'c':
            buf[0] = static_cast<char>(a.asInt());
            buf[1] = 0;
            break;
        case 's': {
            std::string text;
            if (a.kind() == FormatArg::Text)
                text = a.asText();
            else if (a.kind() == FormatArg::Int)
                text = std::to_string(a.asInt());
            else if (a.kind() == FormatArg::UInt)
                text = std::to_string(a.asUInt());
            // Width and precision for text, done here so long text is never cut by a fixed buffer.
            size_t dot = directive.find('.');
            bool left = directive.find('-') != std::string::npos;
            size_t width = 0;
            std::string w = directive.substr(1, dot == std::string::npos ? std::string::npos : dot - 1);
            for (char ch : w)
                if (ch >= '0' && ch <= '9')
                    width = width * 10 + (ch - '0');
            if (dot != std::string::npos)
                text = text.substr(0, std::stoul("0" + directive.substr(dot + 1)));
            if (text.size() < width)
                text = left ? text + std::string(width - text.size(), ' ')
                            : std::string(width - text.size(), ' ') + text;
            out += text;
            continue;
        }
        default:
            out.append(fmt.substr(start, i - start + 1));
            continue;
        }
        out += buf;
    }
    return out;
}
