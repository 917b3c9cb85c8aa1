// What a cell rectangle and a hit test cost, and that the cost does not grow with the column asked
// for: a grid of 400 columns and 1,000 rows, 1,200 x 800 pixels, asked for the rectangle of a cell
// and for the cell under a point at column 1 (the left column 1) and at column 200 (the left column
// 200), at the first column shown and at the last. The reference is the same question at column 1,
// measured in the same run; a figure near 1.00 x means the same cost. Beside them, the rectangle of a
// whole row (BoxRect over every column, what invalidating a row asks for).
//
//   grid_geometry [RUNS]
//
// Runs on the offscreen platform when no display is set. Needs no database.
#include "support/BenchApplication.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/CustomGrid.h"
#include "ui/Form.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kCalls = 2000000;

volatile int sink = 0;

// Nanoseconds a call of one round of `calls`.
template <class F> double perCall(F&& f, int calls = kCalls) {
    int acc = 0;
    const double start = NowSeconds();
    for (int i = 0; i < calls; ++i)
        acc += f(i);
    const double seconds = NowSeconds() - start;
    sink = sink + acc;
    return seconds / calls * 1e9;
}
} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    StartBenchApplication("grid_geometry");
    auto* form = new TForm(Application);
    form->SetBounds(0, 0, 1300, 900);
    auto* grid = new TCustomGrid(form);
    grid->SetParent(form);
    grid->SetCtl3DBorder(false);
    grid->SetScrollBars(ssNone);
    grid->SetBounds(0, 0, 1200, 800);
    grid->SetColCount(400);
    grid->SetRowCount(1000);
    form->Show();

    struct Place {
        const char* name;
        int left;  // the left column
        int col;   // the column asked for
    };
    grid->SetLeftCol(1);
    const int lastAt1 = grid->LeftCol() + grid->VisibleColCount() - 1;
    grid->SetLeftCol(200);
    const int lastAt200 = grid->LeftCol() + grid->VisibleColCount() - 1;
    const Place places[] = {{"column 1, left column 1   ", 1, 1},
                            {"last shown, left column 1 ", 1, lastAt1},
                            {"column 200, left column 200", 200, 200},
                            {"last shown, left column 200", 200, lastAt200}};
    // The places take turns within every run, so a busy moment of the machine falls on all alike;
    // each keeps its best.
    double rect[4], hit[4], row[4];
    std::fill(rect, rect + 4, 1e300);
    std::fill(hit, hit + 4, 1e300);
    std::fill(row, row + 4, 1e300);
    for (int run = 0; run < runs; ++run)
        for (int p = 0; p < 4; ++p) {
            grid->SetLeftCol(places[p].left);
            const int col = places[p].col;
            const TRect r = grid->CellRect(col, 5);
            rect[p] = std::min(rect[p], perCall([&](int i) { return grid->CellRect(col, 1 + (i & 15)).Left; }));
            hit[p] = std::min(hit[p],
                              perCall([&](int i) { return grid->MouseCoord(r.Left + (i & 31), r.Top + (i & 7)).X; }));
            if (p == 0 || p == 2)
                row[p] = std::min(row[p], perCall([&](int i) {
                                      return grid->BoxRect(0, 1 + (i & 15), grid->ColCount() - 1, 1 + (i & 15)).Right;
                                  }, kCalls / 100));
        }
    std::printf("grid %d x %d pixels, %d columns, %d rows, %d columns shown; best of %d runs of %d calls\n",
                grid->ClientWidth(), grid->ClientHeight(), grid->ColCount(), grid->RowCount(),
                grid->VisibleColCount(), runs, kCalls);
    std::printf("  %-28s %14s %14s\n", "", "CellRect", "MouseCoord");
    for (int p = 0; p < 4; ++p)
        std::printf("  %-28s %7.1f ns %4.2fx %7.1f ns %4.2fx\n", places[p].name, rect[p], rect[p] / rect[0], hit[p],
                    hit[p] / hit[0]);
    std::printf("  a whole row's rectangle: %.1f ns at the left column 1, %.1f ns at the left column 200\n", row[0],
                row[2]);
    delete form;
    return 0;
}
