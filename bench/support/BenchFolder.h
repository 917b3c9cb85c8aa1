#pragma once
// A temporary folder of a benchmark's own, removed with it (also after a failure): it holds the
// registry and the connection and driver settings that point the program at the measured database,
// so the user's own settings are neither read nor touched, and the database when one is made here.
#include <string>

class BenchFolder {
public:
    BenchFolder();  // throws std::runtime_error
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    const std::string& Path() const { return dir_; }
    // The large database of scripts/make-db.sh when `given` is empty, made here; else `given`.
    std::string LargeDatabase(const std::string& given);
    // Points the program's connection at `database` through settings files in this folder.
    void UseDatabase(const std::string& database);

private:
    std::string dir_;
};
