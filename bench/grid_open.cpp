// What the customer grid costs on the generator's 100,000 customers: the time from the customer
// dataset being open to the grid's first complete layout and the records read for it, then paging
// through every customer by keyboard (Page Down to the end) with the time and records read per page.
// References measured in the same run: the same first layout over the first 100 customers (the
// layout must not grow with the number of records), and the same page moves through a plain data
// link with the grid's buffer (what the grid adds to a page). The layout is measured with the
// customers' rows in memory, and once more right after the open: an open fetches its rows as they
// are needed, and the scroll bar's record count needs them all.
//
//   grid_open [DATABASE] [RUNS]
//
// Without a database the large one is made in a temporary folder with scripts/make-db.sh. The grid is
// the window's kxDBGrid1 (its list, control type, size and font) on the offscreen platform. Targets:
// the layout reads no more records than it shows; the first, middle and last 500 pages cost within
// 20 % of each other (medians).
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "support/BenchApplication.h"
#include "support/BenchFolder.h"
#include "support/CustomerGrid.h"
#include "support/DataChain.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/Input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr double kPageTarget = 1.20;
constexpr int kPagesPerPart = 500;
const char* kFirstCustomers =
    "select FIRST 100 CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID";

// A customer chain and the window's grid on a form of the window's font, shown without data.
struct Scene : CustomerScene {
    explicit Scene(const char* sql) : CustomerScene(sql) {
        form->Show();
        grid->SetFocus();
        cds->Open();
    }
    // Seconds from the open dataset to the grid's first complete layout; the records read.
    // fetched: every row is in memory first (the dataset fetches the rest of an open's rows when the
    // record count is first asked, which the grid's scroll bar does).
    double firstLayout(long& reads, bool fetched = true) {
        if (fetched) cds->RecordCount();
        long before = cds->reads;
        double start = NowSeconds();
        grid->SetDataSource(source);
        double seconds = NowSeconds() - start;
        reads = cds->reads - before;
        return seconds;
    }
};

// A plain link with the grid's buffer, for the same moves without the grid.
class PlainLink : public TDataLink {};

struct Figures {
    double layout = 1e300, smallLayout = 1e300, unfetchedLayout = 1e300;
    long layoutReads = 0, smallLayoutReads = 0;
    int rows = 0, pages = 0, records = 0;
    double page = 1e300, plainPage = 1e300; // mean per page over all pages
    double medianPage = 1e300;
    double part[3] = {1e300, 1e300, 1e300}; // mean per page: first, middle, last hundred pages
    long readsPerPage = 0, maxReadsPerPage = 0;
};

void measure(Figures& f) {
    {
        Scene small(kFirstCustomers);
        long reads = 0;
        f.smallLayout = std::min(f.smallLayout, small.firstLayout(reads));
        f.smallLayoutReads = reads;
    }
    {
        Scene unfetched(kCustomerStatement);
        long reads = 0;
        f.unfetchedLayout = std::min(f.unfetchedLayout, unfetched.firstLayout(reads, false));
    }
    Scene scene(kCustomerStatement);
    long reads = 0;
    f.layout = std::min(f.layout, scene.firstLayout(reads));
    f.layoutReads = reads;
    TkxDBGrid* grid = scene.grid;
    f.rows = grid->VisibleRowCount();
    f.records = scene.cds->RecordCount();

    // Page Down from the first customer to the last, each page timed alone.
    std::vector<double> times;
    std::vector<long> pageReads;
    scene.cds->First();
    while (scene.cds->RecNo() < f.records) {
        long before = scene.cds->reads;
        double start = NowSeconds();
        SendKey(grid, VK_NEXT);
        times.push_back(NowSeconds() - start);
        pageReads.push_back(scene.cds->reads - before);
    }
    f.pages = int(times.size());
    if (f.pages < 3 * kPagesPerPart) throw std::runtime_error("too few pages to compare");
    auto mean = [&](size_t from, size_t count) {
        double sum = 0;
        for (size_t i = from; i < from + count; ++i)
            sum += times[i];
        return sum / double(count);
    };
    auto median = [&](size_t from, size_t count) {
        std::vector<double> part(times.begin() + long(from), times.begin() + long(from + count));
        std::nth_element(part.begin(), part.begin() + long(count / 2), part.end());
        return part[count / 2];
    };
    f.page = std::min(f.page, mean(0, times.size()));
    f.medianPage = std::min(f.medianPage, median(0, times.size()));
    const size_t n = kPagesPerPart;
    const size_t starts[3] = {0, times.size() / 2 - n / 2, times.size() - n};
    for (int p = 0; p < 3; ++p)
        f.part[p] = std::min(f.part[p], median(starts[p], n));
    long total = 0;
    for (long r : pageReads)
        total += r;
    f.readsPerPage = total / long(pageReads.size());
    f.maxReadsPerPage = *std::max_element(pageReads.begin(), pageReads.end());

    // The same moves through a plain link of the grid's buffer.
    grid->SetDataSource(nullptr);
    PlainLink link;
    link.SetDataSource(scene.source);
    link.SetBufferCount(f.rows);
    scene.cds->First();
    double start = NowSeconds();
    int moves = 0;
    while (scene.cds->RecNo() < f.records) {
        link.MoveBy(f.rows);
        ++moves;
    }
    f.plainPage = std::min(f.plainPage, (NowSeconds() - start) / moves);
}
} // namespace

int main(int argc, char** argv) {
    try {
        BenchFolder folder;
        std::string database = folder.LargeDatabase(argc > 1 ? argv[1] : "");
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
        folder.UseDatabase(database);
        StartBenchApplication("grid_open");

        Figures f;
        for (int run = 0; run < runs; ++run)
            measure(f);
        const double spread = *std::max_element(f.part, f.part + 3) / *std::min_element(f.part, f.part + 3);
        const bool readsMet = f.layoutReads <= f.rows && f.maxReadsPerPage <= f.rows;
        std::printf("database %s, %d customers, grid 401 x 455 pixels showing %d rows, best of %d runs\n",
                    database.c_str(), f.records, f.rows, runs);
        std::printf("first layout, open dataset to complete grid     %8.3f ms   %ld records read\n",
                    f.layout * 1e3, f.layoutReads);
        std::printf(
            "  the same over the first 100 customers         %8.3f ms   %ld records read (ratio %.2f)\n",
            f.smallLayout * 1e3, f.smallLayoutReads, f.layout / f.smallLayout);
        std::printf("  right after the open, rows not yet fetched    %8.3f ms   (the bar's record count "
                    "fetches them)\n",
                    f.unfetchedLayout * 1e3);
        std::printf(
            "Page Down to the end, %d pages:               %8.4f ms a page (mean %.4f), %ld records read "
            "a page (at most %ld)\n",
            f.pages, f.medianPage * 1e3, f.page * 1e3, f.readsPerPage, f.maxReadsPerPage);
        std::printf("  first, middle, last %d pages (medians)      %8.4f / %.4f / %.4f ms (spread %.2f)\n",
                    kPagesPerPart, f.part[0] * 1e3, f.part[1] * 1e3, f.part[2] * 1e3, spread);
        std::printf("  the same moves through a plain data link      %8.4f ms a page (the grid: %.1f x)\n",
                    f.plainPage * 1e3, f.medianPage / f.plainPage);
        std::printf("records read: %s; pages within %.0f %%: %s\n", readsMet ? "met" : "MISSED",
                    (kPageTarget - 1) * 100, spread <= kPageTarget ? "met" : "MISSED");
        Application->Shutdown();
        return readsMet && spread <= kPageTarget ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_open: %s\n", e.what());
        return 2;
    }
}
