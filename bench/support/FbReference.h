#pragma once
// The reference the benchmarks measure against: a plain Firebird C API loop that attaches, runs a
// query, fetches every row and keeps nothing but a count of the value bytes it saw.
#include <cstdint>
#include <string>
#include <sys/resource.h>

struct FetchFigures {
    int64_t rows = 0;
    int64_t valueBytes = 0;  // the sum of the values' lengths: text by its length, numbers by their size
};

// Throws std::runtime_error with Firebird's text on failure.
FetchFigures FetchAll(const std::string& database, const std::string& sql);

// Runs `work` in a child process and answers its wall time in seconds, the processor time it used (all
// its threads, user and system; on a busy machine the steadier figure) and its peak resident memory in
// bytes; `value` receives the eight bytes the child writes back (a count, for instance).
struct ChildFigures {
    double seconds = 0;
    double cpuSeconds = 0;
    int64_t peakBytes = 0;
    int64_t value = 0;
};
ChildFigures RunInChild(int64_t (*work)(void*), void* arg);

double NowSeconds();
