#pragma once
// A list of text lines, most often "name=value" lines. Name lookup ignores ASCII letter case; the
// name ends at the first "=" that is not inside a double-byte character.
#include "core/AnsiString.h"
#include "core/Component.h"

#include <functional>
#include <vector>

class TStringList : public TPersistent {
    MORVANE_CLASS(TStringList, TPersistent)
public:
    TStringList() = default;
    TStringList(std::initializer_list<AnsiString> lines) : lines_(lines) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    // "List index out of bounds (%d)" (EStringListError) outside 0..Count-1.
    const AnsiString& Strings(int index) const;
    void SetStrings(int index, const AnsiString& s);
    const AnsiString& operator[](int index) const { return Strings(index); }

    int Add(const AnsiString& s);
    void Insert(int index, const AnsiString& s);
    void Delete(int index);
    void Move(int from, int to);
    void Clear();
    void Assign(const TStringList& other);
    int IndexOf(std::string_view s) const;  // ASCII case ignored

    AnsiString Names(int index) const;
    AnsiString ValueFromIndex(int index) const;
    int IndexOfName(std::string_view name) const;
    AnsiString Values(std::string_view name) const;  // empty when absent
    // Sets the value of the named line; an empty value removes the line, a new name is appended.
    void SetValue(std::string_view name, const AnsiString& value);

    // Lines joined with "\n"; setting splits at CR, LF or CR LF.
    AnsiString Text() const;
    void SetText(std::string_view text);
    const std::vector<AnsiString>& Lines() const { return lines_; }

    bool operator==(const TStringList& other) const { return lines_ == other.lines_; }

    // Called after every change, as a list that a component owns reports changes to it.
    std::function<void()> OnChange;

private:
    void changed();
    void checkIndex(int index) const;
    std::vector<AnsiString> lines_;
};
