// What exporting the customer grid costs on the generator's 100,000 customers: each format (delimited
// text, fixed-width text, HTML, SYLK) written to a new file by the grid's export options, against two
// references measured in the same run: walking the dataset alone (First, Next to the end, controls
// disabled, as the export walks it) and one buffered fwrite loop writing the same bytes line by line.
// The step that lets the application handle pending messages is measured on its own: what one call
// costs, and what it would add if it ran after every record rather than every 10 ms. Last, copying
// the ticked customers (1,000 of them, every 100th) to the clipboard as the window's menu does, against
// a walk that reads each customer's tick (what finding them costs) and the export of those 1,000 to a
// file.
//
//   grid_export [DATABASE] [RUNS]
//
// Without a database the large one of scripts/make-db.sh is taken from the cache (made there once).
// The grid is the window's (its list, control type, size and font) on the offscreen platform, the
// customers' rows in memory. Targets: each format under 0.2 s; copying the ticked customers under
// 0.1 s. Reading the cell texts alone takes about 3 x the walk, so the walks are references to read
// the figures by, not bounds.
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "support/BenchApplication.h"
#include "support/BenchFolder.h"
#include "support/CustomerGrid.h"
#include "support/DataChain.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Clipboard.h"
#include "ui/Form.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

struct Scene : CustomerScene {
    Scene() {
        grid->SetDataSource(source);
        cds->Open();
        cds->RecordCount(); // every row in memory
        form->Show();
        grid->SetFocus();
    }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Seconds to write `bytes` through one buffered fwrite per line, into a new file.
double fwriteLoop(const std::string& path, const std::string& bytes) {
    std::remove(path.c_str());
    const double start = NowSeconds();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    for (size_t at = 0; at < bytes.size();) {
        size_t end = bytes.find("\r\n", at);
        end = end == std::string::npos ? bytes.size() : end + 2;
        std::fwrite(bytes.data() + at, 1, end - at, f);
        at = end;
    }
    std::fclose(f);
    return NowSeconds() - start;
}

// Seconds to walk the dataset as the export does; with `grid`, reading every column's cell text on the way
// (what any export must read).
double walk(TDataSet* ds, TkxDBGrid* grid = nullptr) {
    const double start = NowSeconds();
    size_t bytes = 0;
    ds->DisableControls();
    ds->First();
    while (!ds->Eof()) {
        if (grid)
            for (int c = 0; c < grid->MappedFieldCount(); ++c)
                bytes += grid->GetCellText(c).size();
        ds->Next();
    }
    ds->EnableControls();
    const double seconds = NowSeconds() - start;
    if (grid && bytes == 0) throw std::runtime_error("no cell text read");
    return seconds;
}

struct Format {
    const char* name;
    TkxGridExportType type;
    const char* delimiter;
    double seconds = 1e300, fwriteSeconds = 1e300;
    size_t bytes = 0;
};
} // namespace

int main(int argc, char** argv) {
    try {
        BenchFolder folder;
        const std::string database = folder.LargeDatabase(argc > 1 ? argv[1] : "");
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
        folder.UseDatabase(database);
        StartBenchApplication("grid_export");

        Scene scene;
        const int records = scene.cds->RecordCount();
        Format formats[] = {{"text, delimited", kxgetTxt, ","},
                            {"text, fixed width", kxgetTxt, ""},
                            {"HTML", kxgetHTML, ","},
                            {"SYLK", kxgetSYLK, ","}};
        double walkSeconds = 1e300, textsSeconds = 1e300;
        const std::string out = folder.Path() + "/export", copy = folder.Path() + "/copy";
        TkxExportOptions& eo = *scene.grid->ExportOptions();
        eo.SetFileName(out);
        for (int run = 0; run < runs; ++run) {
            walkSeconds = std::min(walkSeconds, walk(scene.cds));
            textsSeconds = std::min(textsSeconds, walk(scene.cds, scene.grid));
            for (Format& f : formats) {
                eo.SetExportType(f.type);
                eo.SetDelimiter(f.delimiter);
                // Into a new file: cutting the previous format's file down would be counted too.
                std::remove(out.c_str());
                const double start = NowSeconds();
                eo.RunExport();
                f.seconds = std::min(f.seconds, NowSeconds() - start);
                const std::string bytes = readFile(out);
                f.bytes = bytes.size();
                f.fwriteSeconds = std::min(f.fwriteSeconds, fwriteLoop(copy, bytes));
            }
        }

        // One pending-message step, as the export would take it after every record.
        const int calls = 100000;
        double pump = NowSeconds();
        for (int i = 0; i < calls; ++i)
            Application->ProcessMessages();
        pump = (NowSeconds() - pump) / calls;

        std::printf("database %s, %d customers, the window's grid, best of %d runs\n", database.c_str(),
                    records, runs);
        std::printf("walking the dataset alone                    %8.1f ms\n", walkSeconds * 1e3);
        std::printf("  the same reading every cell's text         %8.1f ms (%.2f x the walk)\n",
                    textsSeconds * 1e3, textsSeconds / walkSeconds);
        bool met = true;
        for (const Format& f : formats) {
            const bool ok = f.seconds < 0.2;
            met = met && ok;
            std::printf("%-18s %5.1f MB %7.1f ms: %5.2f x the walk, %4.2f x the walk with texts, %5.2f x the "
                        "fwrite loop's %.1f ms  %s\n",
                        f.name, double(f.bytes) / 1e6, f.seconds * 1e3, f.seconds / walkSeconds,
                        f.seconds / textsSeconds, f.seconds / f.fwriteSeconds, f.fwriteSeconds * 1e3,
                        ok ? "met" : "MISSED");
        }
        std::printf(
            "pending messages: %.2f us a call; after every record it would add %.1f ms (%.2f x the walk);\n"
            "  taken every 10 ms instead, it adds about %.2f ms to the slowest export\n",
            pump * 1e6, pump * records * 1e3, pump * records / walkSeconds,
            pump * 1e3 *
                (std::max_element(formats, formats + 4,
                                  [](const Format& a, const Format& b) { return a.seconds < b.seconds; })
                     ->seconds /
                 0.010));

        // Copying the ticked customers: every 100th ticked.
        TField* tick = scene.cds->FieldByName("SELECT_YN");
        tick->SetReadOnly(false); // a column of the statement's own: the window's field is not read-only
        int ticked = 0, n = 0;
        scene.cds->DisableControls();
        for (scene.cds->First(); !scene.cds->Eof(); scene.cds->Next())
            if (++n % 100 == 0) {
                scene.cds->Edit();
                tick->SetAsString("Y");
                scene.cds->Post();
                ++ticked;
            }
        scene.cds->First();
        scene.cds->EnableControls();
        auto isTicked = [tick] { return tick->AsString() == "Y"; };
        double copySeconds = 1e300, tickWalkSeconds = 1e300, fileSeconds = 1e300;
        size_t copied = 0;
        eo.SetExportType(kxgetTxt);
        eo.SetDelimiter(",");
        for (int run = 0; run < runs; ++run) {
            double start = NowSeconds();
            int found = 0;
            scene.cds->DisableControls();
            for (scene.cds->First(); !scene.cds->Eof(); scene.cds->Next())
                found += isTicked();
            scene.cds->EnableControls();
            tickWalkSeconds = std::min(tickWalkSeconds, NowSeconds() - start);
            if (found != ticked) throw std::runtime_error("ticks lost");
            start = NowSeconds();
            scene.grid->CopyToClipboard(isTicked);
            copySeconds = std::min(copySeconds, NowSeconds() - start);
            copied = Clipboard().AsText().size();
            start = NowSeconds();
            eo.RunExportWhere(isTicked);
            fileSeconds = std::min(fileSeconds, NowSeconds() - start);
        }
        const bool copyMet = copySeconds < 0.1 && copied > 0;
        met = met && copyMet;
        std::printf("copying the %d ticked customers (%.1f KB of text) to the clipboard %7.1f ms: %5.2f x the walk "
                    "reading each tick (%.1f ms), %5.2f x their export to a file (%.1f ms)  %s\n",
                    ticked, double(copied) / 1e3, copySeconds * 1e3, copySeconds / tickWalkSeconds,
                    tickWalkSeconds * 1e3, copySeconds / fileSeconds, fileSeconds * 1e3, copyMet ? "met" : "MISSED");
        std::printf("targets (each format under 0.2 s; copying the ticked customers under 0.1 s): %s\n",
                    met ? "met" : "MISSED");
        scene.form.reset();
        Application->Shutdown();
        return met ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_export: %s\n", e.what());
        return 2;
    }
}
