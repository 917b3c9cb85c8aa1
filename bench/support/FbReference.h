#pragma once
// The reference the benchmarks measure against: a plain Firebird C API loop that attaches, runs a
// query, fetches every row and keeps nothing but a count of the value bytes it saw, or keeps the rows
// too, as compactly as a program that knows its columns could.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

struct FetchFigures {
    int64_t rows = 0;
    int64_t valueBytes = 0;  // the sum of the values' lengths: text by its length, numbers by their size
};

// Rows kept back to back in chunks of 1 MB: per column a null byte, then a varying text's two-byte
// length and its bytes or a fixed value's bytes; one offset per row finds it again.
class RowArena {
public:
    uint8_t* Allocate(size_t bytes);
    void StartRow() { rows_.push_back(used_ + (chunks_.empty() ? 0 : (chunks_.size() - 1) * kChunk)); }
    int64_t Rows() const { return static_cast<int64_t>(rows_.size()); }
    // Bytes held: the chunks and the row index.
    int64_t HeldBytes() const;

private:
    static constexpr size_t kChunk = 1 << 20;
    std::vector<std::unique_ptr<uint8_t[]>> chunks_;
    std::vector<std::unique_ptr<uint8_t[]>> large_;  // rows larger than a chunk
    std::vector<uint64_t> rows_;
    size_t used_ = kChunk;  // of the last chunk
    int64_t largeBytes_ = 0;
};

// Throws std::runtime_error with Firebird's text on failure. With `keep` every row goes into it.
FetchFigures FetchAll(const std::string& database, const std::string& sql, RowArena* keep = nullptr);
// The statements one after the other over one attachment and transaction, as a program would run them;
// `atEnd` runs when all are read, before the attachment ends.
FetchFigures FetchAll(const std::string& database, const std::vector<std::string>& statements,
                      RowArena* keep = nullptr, const std::function<void()>& atEnd = {});

// The process's anonymous memory now (its heap and other private data, no code or mapped files).
int64_t AnonymousBytes();

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
