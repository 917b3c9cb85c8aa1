#pragma once
// A temporary folder of a benchmark's own, removed with it (also after a failure): it holds the
// registry and the connection and driver settings that point the program at the measured database,
// so the user's own settings are neither read nor touched.
//
// The generated large databases take minutes to make, so they are made once and kept in a cache folder
// ($MORVANE_BENCH_CACHE, else ~/.cache/morvane/bench), one file per size; the benchmarks only read them.
#include <string>

class BenchFolder {
public:
    BenchFolder();  // throws std::runtime_error
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    const std::string& Path() const { return dir_; }
    // `given` when it is not empty; else the large database of scripts/make-db.sh with `lines` bill
    // lines and `customers` customers from the cache, made there first when it is not yet.
    std::string LargeDatabase(const std::string& given, long lines = 1000000, long customers = 100000);
    // Points the program's connection at `database` through settings files in this folder.
    void UseDatabase(const std::string& database);

private:
    std::string dir_;
};
