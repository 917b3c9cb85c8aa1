// How long opening a client dataset takes and how much memory its rows cost, on the generator's large
// database (1,000,000 bill lines, 100,000 customers), against a plain Firebird C API loop fetching the
// same rows in the same run.
//
//   open_client_dataset [DATABASE] [RUNS]
//
// The machine is shared: wall time suffers from whatever else runs. The time verdict is the median of
// the runs' own ratios; the best times and the processor time of each child are printed beside it.
//
// Without a database the large one is made in a temporary folder with scripts/make-db.sh. Each query
// is measured RUNS times (default 5), each run in a child process of its own, so that peak memory is the
// run's own; times and peaks shown are the best of the runs. Targets: opening within 1.5 times the
// loop's time; the rows held in at most 1.5 times the sum of their values' lengths.
#include "core/Exception.h"
#include "core/Registry.h"
#include "data/ClientDataSet.h"
#include "data/Provider.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "support/BenchFolder.h"
#include "support/DataChain.h"
#include "support/FbReference.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr double kTimeTarget = 1.5;
constexpr double kMemoryTarget = 1.5;

struct Query {
    const char* name;
    const char* sql;
};

const Query kQueries[] = {
    {"bill lines", "select * from SAL_SUB"},
    {"customers", "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID"},
};

// What a child reports beyond RunInChild's one number: it lives in memory shared with the parent.
struct Shared {
    int64_t rows;
    int64_t valueBytes;  // the loop: the sum of the values' lengths
    int64_t heldBytes;   // the client dataset: what the engine holds for the rows
    double openSeconds;  // the client dataset: Open() and the record count, which reads every row
    char error[512];
};
Shared* shared = nullptr;

struct Job {
    std::string database;
    const Query* query;
};

int64_t fetchLoop(void* arg) {
    const Job& job = *static_cast<const Job*>(arg);
    try {
        FetchFigures f = FetchAll(job.database, job.query->sql);
        shared->rows = f.rows;
        shared->valueBytes = f.valueBytes;
        return 0;
    } catch (const std::exception& e) {
        std::snprintf(shared->error, sizeof shared->error, "%s", e.what());
        return 1;
    }
}

// The window's chain: connection → statement → provider → client dataset, all owned by one form.
int64_t openClientDataSet(void* arg) {
    const Job& job = *static_cast<const Job*>(arg);
    try {
        TComponent form(nullptr);
        const DataChain chain(form, job.query->sql);
        auto* cds = new TClientDataSet(&form);
        cds->SetProviderName("DSP");
        double start = NowSeconds();
        // Opening reads the first packet only; the record count reads the rest.
        cds->Open();
        shared->rows = cds->RecordCount();
        shared->openSeconds = NowSeconds() - start;
        shared->heldBytes = cds->DataSize();
        return 0;
    } catch (const std::exception& e) {
        std::snprintf(shared->error, sizeof shared->error, "%s", e.what());
        return 1;
    }
}

struct Best {
    double seconds = 1e300;
    double cpuSeconds = 1e300;
    double openSeconds = 1e300;
    int64_t peakBytes = INT64_MAX;
    int64_t rows = -1;
    int64_t valueBytes = 0;
    int64_t heldBytes = 0;
    double lastSeconds = 0;  // of the latest run
};

void run(int64_t (*work)(void*), Job& job, Best& best) {
    *shared = Shared{};
    ChildFigures c = RunInChild(work, &job);
    if (c.value != 0 || shared->error[0])
        throw std::runtime_error(std::string(job.query->name) + ": " + shared->error);
    if (best.rows >= 0 && best.rows != shared->rows)
        throw std::runtime_error(std::string(job.query->name) + ": the row count changed between runs");
    best.seconds = std::min(best.seconds, c.seconds);
    best.lastSeconds = c.seconds;
    best.cpuSeconds = std::min(best.cpuSeconds, c.cpuSeconds);
    best.openSeconds = std::min(best.openSeconds, shared->openSeconds);
    best.peakBytes = std::min(best.peakBytes, c.peakBytes);
    best.rows = shared->rows;
    best.valueBytes = shared->valueBytes;
    best.heldBytes = shared->heldBytes;
}

double mb(int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

const char* verdict(double ratio, double target) { return ratio <= target ? "met" : "MISSED"; }

// Answers 0 when every target is met, 1 when one is missed.
int measure(int argc, char** argv) {
    BenchFolder folder;
    // An empty first argument asks for the database to be made, as none does.
    std::string database = folder.LargeDatabase(argc > 1 ? argv[1] : "");
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    folder.UseDatabase(database);
    shared = static_cast<Shared*>(
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED)
        throw std::runtime_error("cannot map shared memory");

    std::printf("database %s, best of %d runs each\n", database.c_str(), runs);
    bool allMet = true;
    for (const Query& q : kQueries) {
        Job job{database, &q};
        Best loop, cds;
        // Alternating, so that a busy moment of the machine falls on both alike. The verdict is the
        // median of each pair's own ratio: the best run of one against the best of the other may pair
        // a quiet moment with a busy one.
        std::vector<double> paired;
        for (int i = 0; i < runs; ++i) {
            run(fetchLoop, job, loop);
            run(openClientDataSet, job, cds);
            paired.push_back(cds.lastSeconds / loop.lastSeconds);
        }
        std::sort(paired.begin(), paired.end());
        double pairedMedian = paired.size() % 2 ? paired[paired.size() / 2]
                                                : (paired[paired.size() / 2 - 1] + paired[paired.size() / 2]) / 2;
        if (cds.rows != loop.rows)
            throw std::runtime_error(std::string(q.name) + ": the client dataset holds " +
                                     std::to_string(cds.rows) + " rows, the loop fetched " +
                                     std::to_string(loop.rows));
        double timeRatio = cds.seconds / loop.seconds;
        double cpuRatio = cds.cpuSeconds / loop.cpuSeconds;
        double memoryRatio = static_cast<double>(cds.heldBytes) / static_cast<double>(loop.valueBytes);
        std::printf("\n%s: %lld rows, %.1f MB of values (%.1f bytes a row)\n", q.name,
                    static_cast<long long>(loop.rows), mb(loop.valueBytes),
                    static_cast<double>(loop.valueBytes) / static_cast<double>(std::max<int64_t>(loop.rows, 1)));
        std::printf("  C API loop       %7.3f s wall  %7.3f s cpu   peak %7.1f MB\n", loop.seconds,
                    loop.cpuSeconds, mb(loop.peakBytes));
        std::printf("  client dataset   %7.3f s wall  %7.3f s cpu   peak %7.1f MB   (Open() and RecordCount() %.3f s wall)\n",
                    cds.seconds, cds.cpuSeconds, mb(cds.peakBytes), cds.openSeconds);
        std::printf("  time    %.2f x the loop          (target %.1f: %s)   run by run: median, from %.2f to %.2f\n",
                    pairedMedian, kTimeTarget, verdict(pairedMedian, kTimeTarget), paired.front(), paired.back());
        std::printf("          best against best %.2f x, processor time %.2f x\n", timeRatio, cpuRatio);
        std::printf("  held    %.2f x the values' bytes  (target %.1f: %s)   %.1f MB\n", memoryRatio,
                    kMemoryTarget, verdict(memoryRatio, kMemoryTarget), mb(cds.heldBytes));
        allMet = allMet && pairedMedian <= kTimeTarget && memoryRatio <= kMemoryTarget;
    }
    return allMet ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    try {
        return measure(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "open_client_dataset: %s\n", e.what());
        return 2;
    }
}
