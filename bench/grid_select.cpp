// What ticking and selecting cost on the generator's 100,000 customers, in the window's grid
// (its list, control type, size and font) on the offscreen platform:
//   (a) every customer ticked by keyboard, Space then Down, against plain Down from the first
//       customer to the last in the same run, the grid painted after every key (target: a tick,
//       the Space, at most 2 x a move; the Down after it, which posts the tick, is shown too);
//   (b) with dgMultiSelect and msoShiftSelect, the first to the last customer selected with one
//       shift click (target under 1 s); then a full repaint with every customer selected against
//       one with none (target within 20 %), and what the selection lookups add to a frame;
//   (c) the window's confirmation over 100,000 customers of which 1,000 are ticked, the grid
//       following the walk (target under 1 s), against the same walk with the controls disabled
//       (target: following costs at most 3 x that walk).
//
//   grid_select [DATABASE] [RUNS] [PARTS]
//
// PARTS picks what is measured: "grid" for (a) and (b), "confirm" for (c); both by default.
// MORVANE_BENCH_KEYS=N walks only the first N customers in (a), for a quick look.
// Without a database the large one is made (once, in the cache) with scripts/make-db.sh.
#include "app/FrmMorvane.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/support/KxIntl.h"
#include "support/BenchApplication.h"
#include "support/BenchFolder.h"
#include "support/CustomerGrid.h"
#include "support/DataChain.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Bitmap.h"
#include "ui/Form.h"
#include "ui/Input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {
constexpr int kFrames = 200;
constexpr int kFrameRounds = 5;
constexpr int kTicked = 1000;

// The window's customer grid over every customer, shown.
struct Scene : CustomerScene {
    Scene() {
        grid->SetDataSource(source);
        form->Show();
        grid->SetFocus();
        cds->Open();
        // The window declares the tick as a writable field of its own.
        cds->FieldByName("SELECT_YN")->SetReadOnly(false);
        cds->RecordCount();
    }
};

struct Figures {
    int records = 0;
    double down = 1e300, tick = 1e300, postingDown = 1e300;
    int ticked = 0;
    double range = 1e300;
    int selected = 0;
    double frameNone = 1e300, frameAll = 1e300, lookups = 1e300;
    double confirm = 1e300, plainWalk = 1e300;
    int lines = 0;
};

// Seconds per Down from the first customer to the last; with `tick`, a Space before each Down and
// the seconds per Space in `space`. The grid is painted after each key, as the event loop does
// between a user's keys.
double walkByKeys(Scene& s, bool tick, double* space = nullptr) {
    s.cds->First();
    Application->ProcessMessages();
    // MORVANE_BENCH_KEYS: fewer customers, for a quick look.
    const char* keys = std::getenv("MORVANE_BENCH_KEYS");
    const int n = keys ? std::max(1, std::atoi(keys)) : s.cds->RecordCount();
    double down = 0, spaces = 0;
    for (int i = 0; i < n; ++i) {
        double start = NowSeconds();
        if (tick) {
            SendKey(s.grid, VK_SPACE);
            Application->ProcessMessages();
            const double now = NowSeconds();
            spaces += now - start;
            start = now;
        }
        SendKey(s.grid, VK_DOWN);
        Application->ProcessMessages();
        down += NowSeconds() - start;
    }
    if (space) *space = spaces / n;
    return down / n;
}

double frame(TkxDBGrid* grid) {
    TBitmap picture;
    const double start = NowSeconds();
    for (int i = 0; i < kFrames; ++i)
        grid->PaintTo(picture);
    return (NowSeconds() - start) / kFrames;
}

// Seconds to ask every cell shown whether its row is selected, as painting does once per frame.
double lookups(TkxDBGrid* grid) {
    const int rows = grid->DataLink().RecordCount(), cols = grid->DataColumnCount();
    int hits = 0;
    const double start = NowSeconds();
    for (int i = 0; i < kFrames; ++i)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                hits += grid->IsRowSelected(r);
    const double seconds = (NowSeconds() - start) / kFrames;
    return hits < 0 ? 0 : seconds;
}

void measureGrid(Figures& f) {
    Scene s;
    TkxDBGrid* g = s.grid;
    f.records = s.cds->RecordCount();

    // (a)
    f.down = std::min(f.down, walkByKeys(s, false));
    s.cds->Last();
    s.cds->CheckBrowseMode();
    double tick = 0;
    f.postingDown = std::min(f.postingDown, walkByKeys(s, true, &tick));
    f.tick = std::min(f.tick, tick);
    s.cds->CheckBrowseMode();
    int ticked = 0;
    for (s.cds->First(); !s.cds->Eof(); s.cds->Next())
        ticked += s.cds->FieldByName("SELECT_YN")->AsString() == "Y";
    f.ticked = ticked;

    // (b)
    g->SetOptions(g->Options() + TkxDBGridOptions{dgMultiSelect});
    g->SetMultiSelectOptions({msoShiftSelect});
    SendKey(g, VK_HOME, {ssCtrl});
    const TRect first = g->CellRect(2, 1);
    SendClick(g, first.Left + 5, first.Top + 5, {ssCtrl});
    SendKey(g, VK_END, {ssCtrl});
    const TRect last = g->CellRect(2, g->Row());
    double start = NowSeconds();
    SendClick(g, last.Left + 5, last.Top + 5, {ssShift});
    f.range = std::min(f.range, NowSeconds() - start);
    f.selected = g->SelectedCount();
    // Frames with all and with none selected, in turns (the best of each), so that the machine's
    // other work weighs on both alike.
    for (int round = 0; round < kFrameRounds; ++round) {
        if (round > 0) {
            SendClick(g, first.Left + 5, first.Top + 5, {ssCtrl});
            SendKey(g, VK_END, {ssCtrl});
            SendClick(g, last.Left + 5, last.Top + 5, {ssShift});
        }
        SendKey(g, VK_HOME, {ssCtrl});
        Application->ProcessMessages();
        f.frameAll = std::min(f.frameAll, frame(g));
        f.lookups = std::min(f.lookups, lookups(g));
        g->ClearMultiSelection();
        f.frameNone = std::min(f.frameNone, frame(g));
    }
}

void measureConfirmation(Figures& f) {
    std::unique_ptr<TFormMorvane> form(Application->CreateForm<TFormMorvane>());
    form->Show();
    TClientDataSet* cds = form->CDS_CUST;
    const int n = cds->RecordCount();
    // Every hundredth customer ticked.
    int i = 0;
    for (cds->First(); !cds->Eof(); cds->Next(), ++i)
        if (i % (n / kTicked) == 0) {
            cds->Edit();
            form->CDS_CUSTSELECT_YN->SetAsString("Y");
            cds->Post();
        }
    std::FILE* out = std::tmpfile();
    form->SetSelectionOutput(out);
    cds->First();
    Application->ProcessMessages();
    double start = NowSeconds();
    form->SpeedButton1Click(nullptr);
    f.confirm = std::min(f.confirm, NowSeconds() - start);
    std::rewind(out);
    int lines = 0;
    for (int c; (c = std::fgetc(out)) != EOF;)
        lines += c == '\n';
    std::fclose(out);
    f.lines = lines;

    // The same walk without the controls following.
    start = NowSeconds();
    cds->DisableControls();
    int found = 0;
    for (cds->First(); !cds->Eof(); cds->Next())
        found += form->CDS_CUSTSELECT_YN->AsString() == "Y";
    cds->EnableControls();
    f.plainWalk = std::min(f.plainWalk, NowSeconds() - start);
    if (found + 1 != lines) std::fprintf(stderr, "grid_select: %d ticked, %d lines written\n", found, lines);
    form->SetSelectionOutput(stdout);
}
} // namespace

int main(int argc, char** argv) {
    try {
        BenchFolder folder;
        const std::string database = folder.LargeDatabase(argc > 1 ? argv[1] : "");
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
        const std::string parts = argc > 3 ? argv[3] : "grid,confirm";
        const bool grid = parts.find("grid") != std::string::npos;
        const bool confirm = parts.find("confirm") != std::string::npos;
        folder.UseDatabase(database);
        StartBenchApplication("grid_select");
        CreateProcessIntl();

        Figures f;
        for (int run = 0; run < runs; ++run) {
            if (grid) measureGrid(f);
            if (confirm) measureConfirmation(f);
        }
        const double tickRatio = f.tick / f.down, frameRatio = f.frameAll / f.frameNone;
        std::printf("database %s, %d customers, best of %d runs\n", database.c_str(), f.records, runs);
        if (grid) {
            std::printf("(a) plain Down                        %8.1f us a move\n", f.down * 1e6);
            std::printf(
                "    Space (a tick)                    %8.1f us a tick   %.2f x a move (target <= 2)  "
                "%d customers ticked\n",
                f.tick * 1e6, tickRatio, f.ticked);
            std::printf("    Down after a tick (posts it)      %8.1f us          %.2f x a move\n",
                        f.postingDown * 1e6, f.postingDown / f.down);
            std::printf(
                "(b) shift click, first to last        %8.1f ms          (target < 1000)  %d selected\n",
                f.range * 1e3, f.selected);
            std::printf("    frame, nothing selected           %8.2f ms\n", f.frameNone * 1e3);
            std::printf("    frame, everything selected        %8.2f ms          %.2f x (target <= 1.20)\n",
                        f.frameAll * 1e3, frameRatio);
            std::printf(
                "    selection lookups of a frame      %8.3f ms          (every cell shown asks once)\n",
                f.lookups * 1e3);
        }
        if (confirm) {
            std::printf(
                "(c) confirmation, %d ticked         %8.1f ms          (target < 1000)  %d lines out\n",
                kTicked, f.confirm * 1e3, f.lines);
            std::printf(
                "    the same walk, controls disabled  %8.1f ms          the grid following costs %.2f x "
                "(target <= 3)\n",
                f.plainWalk * 1e3, f.confirm / f.plainWalk);
        }
        const bool gridMet = !grid || (tickRatio <= 2 && f.range < 1 && frameRatio <= 1.2 &&
                                       f.ticked == f.records && f.selected == f.records);
        const bool confirmMet = !confirm || (f.confirm < 1 && f.confirm <= 3 * f.plainWalk && f.lines == kTicked + 1);
        const bool met = gridMet && confirmMet;
        Application->Shutdown();
        return met ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_select: %s\n", e.what());
        return 2;
    }
}
