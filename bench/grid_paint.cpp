// How fast the bill-lines grid paints while it pages through a long bill: a TDBGrid of 40 visible rows
// with the window's eight columns over 100,000 bill lines, scrolled a page at a time from the first
// line to the last with a full paint after every page, against painting the same grid, same size and
// columns, with no data in the same run. It also counts the records the dataset read: paging reads
// each line once, painting reads none.
//
//   grid_paint [RUNS]
//
// Runs on the offscreen platform when no display is set. The database is made in a temporary folder.
#include "core/Registry.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/Provider.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "support/BenchFolder.h"
#include "support/CountingDataSet.h"
#include "support/DataChain.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Bitmap.h"
#include "ui/DBGrid.h"
#include "ui/Form.h"
#include "ui/Input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {
constexpr int kLines = 100000;
constexpr int kRows = 40;
constexpr int kEmptyFrames = 300;


void makeDatabase(const std::string& dir, const std::string& path) {
    std::ifstream schemaFile(std::string(MORVANE_SOURCE_DIR) + "/db/schema.sql");
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    std::ofstream(dir + "/make.sql", std::ios::binary)
        << "CREATE DATABASE '" << path << "' USER 'SYSDBA' PASSWORD 'x' DEFAULT CHARACTER SET NONE;\n"
        << schema.str() << "\nSET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " << kLines
        << ") DO BEGIN INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY, V_UNIT, B_PRICE, "
           "U_DIS, V_PRICE, AMT) VALUES ('B1', :i, 'P' || LPAD(:i, 6, '0'), '"
        << codepage::FromUtf8("商品 ") << "' || :i || '" << codepage::FromUtf8(" 號 標準包裝") << "', MOD(:i, 50) + 1, '"
        << codepage::FromUtf8("個") << "', 12.5, 1, 12.5, 12.5 * MOD(:i, 50)); i = i + 1; END END^\n"
        << "SET TERM ; ^\nCOMMIT;\n";
    std::string cmd = "isql-fb -q -b -user SYSDBA -password x -i '" + dir + "/make.sql' > '" + dir + "/make.out' 2>&1";
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("isql-fb could not make the database; see " + dir + "/make.out");
}

// Paints the whole grid as the window system would, into a picture.
void paint(TDBGrid* grid, TBitmap& picture) { grid->PaintTo(picture); }
} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    try {
        const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
        BenchFolder folder;
        const std::string& dir = folder.Path();
        const std::string database = dir + "/lines.fdb";
        std::printf("making %d bill lines in %s\n", kLines, database.c_str());
        std::fflush(stdout);
        makeDatabase(dir, database);
        folder.UseDatabase(database);

        static char arg0[] = "grid_paint";
        static char* args[] = {arg0, nullptr};
        Application->Initialize(1, args);
        TComponent owner(nullptr);
        const DataChain chain(owner, "select * from SAL_SUB order by ITEM_NO");
        auto* cds = new TCountingDataSet(&owner);
        cds->SetProviderName("DSP");
        auto* source = new TDataSource(&owner);
        source->SetDataSet(cds);
        cds->Open();

        auto* form = new TForm(Application);
        form->SetBounds(0, 0, 800, 1000);
        auto* grid = new TDBGrid(form);
        grid->SetParent(form);
        const struct {
            const char* field;
            int width;
        } columns[] = {{"TEMPPRODID", 114}, {"PROD_NAME", 128}, {"V_QTY", 47}, {"V_UNIT", 54},
                       {"B_PRICE", 61},     {"U_DIS", 46},      {"V_PRICE", 62}, {"AMT", 56}};
        for (const auto& c : columns) {
            TColumn* column = grid->Columns().Add();
            column->SetFieldName(c.field);
            column->SetWidth(c.width);
        }
        grid->SetBounds(0, 0, 620, 200);
        grid->SetDataSource(source);
        form->Show();
        grid->SetFocus();
        // Exactly 40 rows whole.
        int height = 200;
        while (grid->VisibleRowCount() < kRows)
            grid->SetHeight(++height);
        std::printf("grid %d x %d pixels, %d rows, %d columns\n", grid->Width(), grid->Height(),
                    grid->VisibleRowCount(), grid->ColCount());

        TBitmap picture;
        double bestEmpty = 1e300, bestFull = 1e300;
        long frames = 0, readsWhilePaging = 0, readsWhilePainting = 0;
        for (int run = 0; run < runs; ++run) {
            // The same grid without data: titles, indicator and lines only.
            grid->SetDataSource(nullptr);
            double start = NowSeconds();
            for (int i = 0; i < kEmptyFrames; ++i)
                paint(grid, picture);
            bestEmpty = std::min(bestEmpty, (NowSeconds() - start) / kEmptyFrames);

            grid->SetDataSource(source);
            cds->First();
            long before = cds->reads;
            long painted = 0;
            frames = 0;
            start = NowSeconds();
            for (;;) {
                long r = cds->reads;
                paint(grid, picture);
                painted += cds->reads - r;
                ++frames;
                if (cds->Eof() || cds->RecNo() == kLines)
                    break;
                SendKey(grid, VK_NEXT);
            }
            bestFull = std::min(bestFull, (NowSeconds() - start) / double(frames));
            readsWhilePaging = cds->reads - before - painted;
            readsWhilePainting = painted;
        }
        std::printf("best of %d runs\n", runs);
        std::printf("  empty grid      %8.2f ms a frame  %7.1f frames per second\n", bestEmpty * 1e3, 1 / bestEmpty);
        std::printf("  100,000 lines   %8.2f ms a frame  %7.1f frames per second  (%ld frames, a page each)\n",
                    bestFull * 1e3, 1 / bestFull, frames);
        std::printf("  a full frame costs %.2f x an empty one\n", bestFull / bestEmpty);
        std::printf("  records read while paging %ld (of %d), while painting %ld\n", readsWhilePaging, kLines,
                    readsWhilePainting);
        delete form;
        return readsWhilePainting == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_paint: %s\n", e.what());
        return 2;
    }
}
