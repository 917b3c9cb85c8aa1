#pragma once
// Runs a test in one code page and puts the process's own back afterwards.
#include "core/AnsiString.h"

class CodePageScope {
public:
    explicit CodePageScope(const std::string& name) : saved_(codepage::Name()) { codepage::SetName(name); }
    ~CodePageScope() { codepage::SetName(saved_); }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

private:
    std::string saved_;
};
