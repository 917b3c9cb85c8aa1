#include "grid/KxListLines.h"

#include "core/Exception.h"
#include "core/Format.h"

namespace {
constexpr int kColumnFields = 5;
constexpr int kReadOnlyField = 3;
constexpr int kGroupField = 4;
} // namespace

std::vector<AnsiString> SplitListLine(std::string_view line, char separator) {
    std::vector<AnsiString> parts;
    const std::string_view sep(&separator, 1);
    size_t from = 0;
    for (;;) {
        size_t at = AnsiFind(line, sep, from);
        if (at == std::string_view::npos) {
            parts.emplace_back(line.substr(from));
            return parts;
        }
        parts.emplace_back(line.substr(from, at - from));
        from = at + 1;
    }
}

const AnsiString& ListLinePart(const std::vector<AnsiString>& parts, int index) {
    if (index < 0 || index >= int(parts.size()))
        throw EStringListError(Format("List index out of bounds (%d)", index));
    return parts[size_t(index)];
}

AnsiString ListLineTail(std::string_view line, char separator, int count) {
    const std::string_view sep(&separator, 1);
    size_t from = 0;
    for (int i = 0; i < count; ++i) {
        size_t at = AnsiFind(line, sep, from);
        if (at == std::string_view::npos) return {};
        from = at + 1;
    }
    return AnsiString(line.substr(from));
}

AnsiString ListLineField(std::string_view line, int index) {
    if (index < 0 || index >= kColumnFields) return {};
    std::vector<AnsiString> parts = SplitListLine(line, '\t');
    AnsiString value = index < int(parts.size()) ? parts[size_t(index)] : AnsiString();
    if (index == kReadOnlyField && value.empty()) value = "F";
    return value;
}

AnsiString SetListLineField(std::string_view line, int index, std::string_view value) {
    AnsiString fields[kColumnFields];
    for (int i = 0; i < kColumnFields; ++i)
        fields[i] = ListLineField(line, i);
    if (index >= 0 && index < kColumnFields) fields[index] = AnsiString(value);
    if (fields[kReadOnlyField].empty()) fields[kReadOnlyField] = "F";
    AnsiString out = fields[0] + '\t' + fields[1] + '\t' + fields[2] + '\t' + fields[kReadOnlyField];
    if (!fields[kGroupField].empty()) out += '\t' + fields[kGroupField];
    return out;
}
