#include "support/BenchFolder.h"

#include "support/FirebirdDb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

BenchFolder::BenchFolder() : dir_(MakeTempDir()) {
    setenv("KESTRIN_REGISTRY_DIR", (dir_ + "/registry").c_str(), 1);
}

BenchFolder::~BenchFolder() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string BenchFolder::LargeDatabase(const std::string& given, long lines, long customers) {
    if (!given.empty())
        return fs::absolute(given).string();
    const char* cache = std::getenv("MORVANE_BENCH_CACHE");
    const char* home = std::getenv("HOME");
    fs::path folder =
        cache && *cache ? fs::path(cache) : fs::path(home ? home : "/tmp") / ".cache/morvane/bench";
    // The generator's own number of customers keeps the name it always had.
    std::string name = "large-" + std::to_string(lines);
    if (customers != 100000)
        name += "-" + std::to_string(customers) + "-customers";
    fs::path database = folder / (name + ".fdb");
    if (fs::exists(database))
        return database.string();
    fs::create_directories(folder);
    // Made under another name and renamed when complete: an interrupted run leaves no half database.
    fs::path making = folder / (name + ".making." + std::to_string(getpid()) + ".fdb");
    std::string cmd = std::string("'") + MORVANE_SOURCE_DIR + "/scripts/make-db.sh' '" + making.string() +
                      "' large " + std::to_string(lines) + " " + std::to_string(customers);
    std::printf("creating the large database once (kept in %s): %s\n", folder.c_str(), cmd.c_str());
    std::fflush(stdout);
    if (std::system(cmd.c_str()) != 0) {
        std::error_code ec;
        fs::remove(making, ec);
        throw std::runtime_error("make-db.sh failed");
    }
    fs::rename(making, database);
    return database.string();
}

void BenchFolder::UseDatabase(const std::string& database) { WriteConnectionFiles(dir_, database); }
