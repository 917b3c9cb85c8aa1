#include "core/StringList.h"

#include "core/Exception.h"
#include "core/Format.h"

void TStringList::checkIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EStringListError(Format("List index out of bounds (%d)", index));
}

void TStringList::changed() {
    if (OnChange)
        OnChange();
}

const AnsiString& TStringList::Strings(int index) const {
    checkIndex(index);
    return lines_[index];
}

void TStringList::SetStrings(int index, const AnsiString& s) {
    checkIndex(index);
    lines_[index] = s;
    changed();
}

int TStringList::Add(const AnsiString& s) {
    lines_.push_back(s);
    changed();
    return Count() - 1;
}

void TStringList::Insert(int index, const AnsiString& s) {
    if (index < 0 || index > Count())
        throw EStringListError(Format("List index out of bounds (%d)", index));
    lines_.insert(lines_.begin() + index, s);
    changed();
}

void TStringList::Delete(int index) {
    checkIndex(index);
    lines_.erase(lines_.begin() + index);
    changed();
}

void TStringList::Move(int from, int to) {
    if (from == to)
        return;
    checkIndex(from);
    checkIndex(to);
    AnsiString s = std::move(lines_[from]);
    lines_.erase(lines_.begin() + from);
    lines_.insert(lines_.begin() + to, std::move(s));
    changed();
}

void TStringList::Clear() {
    if (lines_.empty())
        return;
    lines_.clear();
    changed();
}

void TStringList::Assign(const TStringList& other) {
    if (&other == this)
        return;
    lines_ = other.lines_;
    changed();
}

int TStringList::IndexOf(std::string_view s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(lines_[i], s))
            return i;
    return -1;
}

AnsiString TStringList::Names(int index) const {
    const AnsiString& line = Strings(index);
    size_t eq = AnsiFind(line, "=");
    return eq == AnsiString::npos ? AnsiString() : line.substr(0, eq);
}

AnsiString TStringList::ValueFromIndex(int index) const {
    const AnsiString& line = Strings(index);
    size_t eq = AnsiFind(line, "=");
    return eq == AnsiString::npos ? AnsiString() : line.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        size_t eq = AnsiFind(lines_[i], "=");
        if (eq != AnsiString::npos && SameText(std::string_view(lines_[i]).substr(0, eq), name))
            return i;
    }
    return -1;
}

AnsiString TStringList::Values(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? AnsiString() : ValueFromIndex(i);
}

void TStringList::SetValue(std::string_view name, const AnsiString& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0)
            Delete(i);
        return;
    }
    AnsiString line = AnsiString(name) + "=" + value;
    if (i < 0)
        Add(line);
    else
        SetStrings(i, line);
}

AnsiString TStringList::Text() const {
    AnsiString out;
    for (const AnsiString& l : lines_) {
        out += l;
        out += '\n';
    }
    return out;
}

void TStringList::SetText(std::string_view text) {
    lines_.clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos) {
            lines_.emplace_back(text.substr(i));
            break;
        }
        lines_.emplace_back(text.substr(i, end - i));
        i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    changed();
}
