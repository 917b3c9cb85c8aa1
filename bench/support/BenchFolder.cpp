#include "support/BenchFolder.h"

#include "support/FirebirdDb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

BenchFolder::BenchFolder() : dir_(MakeTempDir()) {
    setenv("KESTRIN_REGISTRY_DIR", (dir_ + "/registry").c_str(), 1);
}

BenchFolder::~BenchFolder() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string BenchFolder::LargeDatabase(const std::string& given) {
    if (!given.empty())
        return fs::absolute(given).string();
    std::string database = dir_ + "/large.fdb";
    std::string cmd = std::string("'") + MORVANE_SOURCE_DIR + "/scripts/make-db.sh' '" + database + "' large";
    std::printf("creating the large database: %s\n", cmd.c_str());
    std::fflush(stdout);
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("make-db.sh failed");
    return database;
}

void BenchFolder::UseDatabase(const std::string& database) { WriteConnectionFiles(dir_, database); }
