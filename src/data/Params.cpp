#include "data/Params.h"

#include "core/Exception.h"
#include "core/Format.h"

namespace {
bool nameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Calls found(name, start, end) for each marker outside quotes; "::" is a literal colon.
template <class F> void scanMarkers(std::string_view sql, F found) {
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        // A double-byte character never ends a quote or starts a marker; a lead byte before a quote
        // is a byte of its own, as the server reads it.
        if (codepage::CharLength(sql, i) == 2) {
            ++i;
            continue;
        }
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ':') {
            if (i + 1 < sql.size() && sql[i + 1] == ':') {
                ++i;
                continue;
            }
            // A name runs by whole characters: a double-byte character belongs to it whole.
            size_t end = i + 1;
            while (end < sql.size()) {
                size_t n = codepage::CharLength(sql, end);
                if (n == 1 && !nameChar(sql[end]))
                    break;
                end += n;
            }
            if (end > i + 1) {
                found(sql.substr(i + 1, end - i - 1), i, end);
                i = end - 1;
            }
        }
    }
}
} // namespace

TParam* TParams::FindParam(std::string_view name) {
    for (TParam& p : items_)
        if (SameText(p.Name, name))
            return &p;
    return nullptr;
}

TParam& TParams::ParamByName(std::string_view name) {
    TParam* p = FindParam(name);
    if (!p)
        throw EDatabaseError(Format("Parameter '%s' not found", name));
    return *p;
}

void TParams::ParseSQL(std::string_view sql) {
    std::vector<TParam> next;
    scanMarkers(sql, [&](std::string_view name, size_t, size_t) {
        for (const TParam& p : next)
            if (SameText(p.Name, name))
                return;
        TParam* old = FindParam(name);
        next.push_back(old ? *old : TParam{AnsiString(name), {}, true});
    });
    items_ = std::move(next);
}

AnsiString TParams::MarkersToQuestionMarks(std::string_view sql, std::vector<AnsiString>* names) {
    AnsiString out;
    size_t copied = 0;
    scanMarkers(sql, [&](std::string_view name, size_t start, size_t end) {
        out.append(sql.substr(copied, start - copied));
        out += '?';
        copied = end;
        if (names)
            names->emplace_back(name);
    });
    out.append(sql.substr(copied));
    return out;
}
