#pragma once
// Parameters of a statement text: a colon followed by a name, outside quoted text, marks one.
// Values travel as text; a parameter without a value is null.
#include "core/AnsiString.h"

#include <vector>

struct TParam {
    AnsiString Name;
    AnsiString Value;
    bool IsNull = true;
    void SetAsString(const AnsiString& value) {
        Value = value;
        IsNull = false;
    }
    void Clear() {
        Value.clear();
        IsNull = true;
    }
    bool operator==(const TParam&) const = default;
};

class TParams {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TParam& Items(int index) { return items_.at(static_cast<size_t>(index)); }
    const TParam& Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    // ASCII case ignored; null when absent. ParamByName raises "Parameter '%s' not found".
    TParam* FindParam(std::string_view name);
    TParam& ParamByName(std::string_view name);
    void Clear() { items_.clear(); }
    bool operator==(const TParams&) const = default;

    // Rebuilds the list from the markers of `sql`, one parameter per name in order of first
    // appearance; values of parameters of the same name are kept.
    void ParseSQL(std::string_view sql);
    // The text with every marker replaced by "?", as the driver prepares it, and the parameter of
    // each "?" in order.
    static AnsiString MarkersToQuestionMarks(std::string_view sql, std::vector<AnsiString>* names);

private:
    std::vector<TParam> items_;
};
