// How connecting grows with the number of lines in the connection's settings section: N and 4N
// extra lines (login names and passwords among them, the lines the login list is built from), each
// connect against a plain read of the same file with the profile reader in the same run.
//
//   connect_params [N] [RUNS]
//
// N defaults to 10,000, RUNS (best of) to 3. What the lines add to a connect is the connect's time
// less that of a connect without them. Linear loading shows a growth near 4 for 4N lines; one that
// compares every line with every other shows near 16. Targets: growth below 6, and what 4N lines
// add within 20 times the plain read of them.
#include "core/IniFile.h"
#include "data/SQLConnection.h"
#include "support/BenchFolder.h"
#include "support/FirebirdDb.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;

template <class F> double bestSeconds(int runs, F f) {
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

std::string extraLines(int n) {
    std::string lines;
    for (int i = 0; i < n; ++i) {
        switch (i % 4) {
        case 0:
            lines += "Password=p" + std::to_string(i) + "\n";
            break;
        case 1:
            lines += "user_name=u" + std::to_string(i) + "\n";
            break;
        case 2:
            lines += "PASSWORD=p" + std::to_string(i - 2) + "\n";
            break; // the same line again, other case
        default:
            lines += "Note" + std::to_string(i) + "=" + std::to_string(i) + "\n";
            break;
        }
    }
    return lines;
}

struct Figures {
    double connect;
    double read;
};

Figures measure(const BenchFolder& folder, const TestDatabase& db, int lines, int runs) {
    // The stored password stays the first: the database accepts the login as the window makes it.
    WriteConnectionFiles(folder.Path(), db.Path(), "x", extraLines(lines));
    Figures f;
    f.connect = bestSeconds(runs, [] {
        TSQLConnection c(nullptr);
        c.SetConnectionName("Kestrin");
        c.SetLoadParamsOnConnect(true);
        c.SetLoginPrompt(false);
        c.SetConnected(true);
        c.SetConnected(false);
    });
    f.read = bestSeconds(runs, [&] {
        TStringList values;
        TIniFile(folder.Path() + "/dbconnections.ini").ReadSectionValues("Kestrin", values);
    });
    std::printf("%7d lines: connect %8.3f s, plain read %8.3f s\n", lines, f.connect, f.read);
    return f;
}
} // namespace

int main(int argc, char** argv) {
    int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    try {
        BenchFolder folder;
        TestDatabase db("", false);
        measure(folder, db, 0, runs); // the engine's first attachment, not counted
        Figures none = measure(folder, db, 0, runs);
        Figures small = measure(folder, db, n, runs), large = measure(folder, db, 4 * n, runs);
        double addedSmall = std::max(small.connect - none.connect, 1e-6);
        double addedLarge = std::max(large.connect - none.connect, 1e-6);
        double growth = addedLarge / addedSmall;
        double againstRead = addedLarge / std::max(large.read, 1e-6);
        std::printf("growth for 4x the lines: %.1f (linear 4, quadratic 16; target below 6): %s\n", growth,
                    growth < 6 ? "met" : "MISSED");
        std::printf("what %d lines add to a connect, against their plain read: %.1f (target below 20): %s\n",
                    4 * n, againstRead, againstRead < 20 ? "met" : "MISSED");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "connect_params: %s\n", e.what());
        return 1;
    }
}
