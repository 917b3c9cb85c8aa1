#pragma once
// Field definitions: what a dataset's source says about each of its columns, from which default
// fields are created and against which declared fields are bound.
#include "data/Field.h"

#include <memory>
#include <vector>

class TFieldDef {
public:
    AnsiString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;       // bytes for text and binary, decimals for BCD
    int Precision = 0;  // digits for BCD and float
    bool Required = false;
    bool ReadOnly = false;
    bool FixedChar = false;
    int FieldNo = 0;    // 1-based column number

    // A new field of the definition's class, named and sized after it, belonging to dataSet.
    TField* CreateField(TComponent* owner, TDataSet* dataSet) const;
};

class TFieldDefs {
public:
    int Count() const { return static_cast<int>(defs_.size()); }
    TFieldDef& Items(int index) { return *defs_.at(index); }
    const TFieldDef& Items(int index) const { return *defs_.at(index); }
    // Appends a definition numbered after the last one.
    TFieldDef& Add(const AnsiString& name, TFieldType type, int size = 0, bool required = false);
    void Clear() { defs_.clear(); }
    // ASCII case ignored; -1 / null when absent.
    int IndexOf(std::string_view name) const;
    const TFieldDef* Find(std::string_view name) const;

private:
    std::vector<std::unique_ptr<TFieldDef>> defs_;
};
