// How fast the grids paint while they page through long lists.
//
// 1. The bill-lines grid: a TDBGrid of 40 visible rows with the window's eight columns over 100,000
//    bill lines, scrolled a page at a time from the first line to the last with a full paint after
//    every page, against painting the same grid, same size and columns, with no data in the same run.
//    It also counts the records the dataset read: paging reads each line once, painting reads none.
// 2. The customer grid: the window's kxDBGrid1 (its list, check-box column, font and size, 401 x 455)
//    over the generator's 100,000 customers, paged from the first to the last, against (a) the same
//    grid without data and (b) a stock QTableView over a QAbstractTableModel of the same 100,000 x 4
//    cells (the tick column through Qt::CheckStateRole), same size, font, column widths and row height,
//    paged the same way. A frame is a page move and the window system's repaint of what the move left
//    to paint, in frames per second; a picture is the whole control painted anew (as for a screenshot).
//    Targets: a full picture costs at most 2 x the empty grid's; the customer grid pages at least as
//    fast as the QTableView; a frame reads the rows it shows and no more.
//
//   grid_paint [RUNS] [DATABASE] [customers]     (customers: the customer grid alone)
//
// Runs on the offscreen platform when no display is set. The bill lines are made in a temporary
// folder; the customers come from the large database (made once and cached, see BenchFolder).
#include "core/Registry.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/Provider.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "support/BenchApplication.h"
#include "support/BenchFolder.h"
#include "support/CountingDataSet.h"
#include "support/CustomerGrid.h"
#include "support/DataChain.h"
#include "support/FbReference.h"
#include "ui/Application.h"
#include "ui/Bitmap.h"
#include "ui/DBGrid.h"
#include "ui/Form.h"
#include "ui/Input.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <vector>

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
        << schema.str()
        << "\nSET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " << kLines
        << ") DO BEGIN INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY, V_UNIT, "
           "B_PRICE, "
           "U_DIS, V_PRICE, AMT) VALUES ('B1', :i, 'P' || LPAD(:i, 6, '0'), '"
        << codepage::FromUtf8("商品 ") << "' || :i || '" << codepage::FromUtf8(" 號 標準包裝")
        << "', MOD(:i, 50) + 1, '" << codepage::FromUtf8("個")
        << "', 12.5, 1, 12.5, 12.5 * MOD(:i, 50)); i = i + 1; END END^\n"
        << "SET TERM ; ^\nCOMMIT;\n";
    std::string cmd =
        "isql-fb -q -b -user SYSDBA -password x -i '" + dir + "/make.sql' > '" + dir + "/make.out' 2>&1";
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("isql-fb could not make the database; see " + dir + "/make.out");
}

// Paints the whole grid as the window system would, into a picture.
void paint(TDBGrid* grid, TBitmap& picture) {
    grid->PaintTo(picture);
}

// What the window system does after a move: paints on screen what the move left to repaint.
void showPending() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

// The customers as a plain table model: the tick as a check state, the rest as text.
class CustomerModel : public QAbstractTableModel {
public:
    struct Row {
        bool ticked;
        QString id, name, cls;
    };
    std::vector<Row> rows;
    int rowCount(const QModelIndex&) const override { return int(rows.size()); }
    int columnCount(const QModelIndex&) const override { return 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        const Row& r = rows[size_t(index.row())];
        if (index.column() == 0)
            return role == Qt::CheckStateRole ? QVariant(r.ticked ? Qt::Checked : Qt::Unchecked) : QVariant();
        if (role != Qt::DisplayRole) return {};
        return index.column() == 1 ? r.id : index.column() == 2 ? r.name : r.cls;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole || o != Qt::Horizontal) return {};
        static const char* titles[] = {"選擇", "客戶代號", "客戶名稱", "客戶類別"};
        return QString::fromUtf8(titles[section]);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return QAbstractTableModel::flags(index) |
               (index.column() == 0 ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    }
};

struct CustomerFigures {
    double empty = 1e300, full = 1e300, frame = 1e300, view = 1e300, viewFrame = 1e300;
    long frames = 0, viewFrames = 0, readsPerFrame = 0, maxReadsPerFrame = 0, readsPainting = 0;
    int rows = 0, records = 0;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

void customers(const std::string& database, int runs, BenchFolder& folder) {
    folder.UseDatabase(database);
    TComponent owner(nullptr);
    const DataChain chain(owner, kCustomerStatement);
    auto* cds = new TCountingDataSet(&owner);
    cds->SetProviderName("DSP");
    auto* source = new TDataSource(&owner);
    source->SetDataSet(cds);
    cds->Open();
    auto* form = NewWindowFontForm(420, 940).release(); // the application frees it
    TkxDBGrid* grid = NewCustomerGrid(form);
    TkxDBGrid* empty = NewCustomerGrid(form, 470); // the same grid without data
    form->Show();
    grid->SetFocus();
    grid->SetDataSource(source);
    CustomerFigures f;
    f.records = cds->RecordCount();
    f.rows = grid->VisibleRowCount();

    // The same cells for the stock view, read once into memory (as the client dataset holds them).
    CustomerModel model;
    model.rows.reserve(size_t(f.records));
    {
        grid->SetDataSource(nullptr);
        TField* tick = cds->FieldByName("SELECT_YN");
        TField* id = cds->FieldByName("CUST_ID");
        TField* name = cds->FieldByName("CUST_NAME");
        TField* cls = cds->FieldByName("CUST_CLASSID");
        auto q = [](const AnsiString& a) { return QString::fromStdString(codepage::ToUtf8(a)); };
        for (cds->First(); !cds->Eof(); cds->Next())
            model.rows.push_back({SameText(tick->AsString(), "Y"), q(id->DisplayText()),
                                  q(name->DisplayText()), q(cls->DisplayText())});
        grid->SetDataSource(source);
    }
    QTableView view;
    view.setModel(&model);
    QFont qf(QStringLiteral("AR PL UMing TW"));
    qf.setPixelSize(15);
    qf.setStyleStrategy(QFont::NoAntialias);
    view.setFont(qf);
    view.resize(401, 455);
    view.verticalHeader()->setMinimumSectionSize(1);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(grid->DefaultRowHeight() + 1);
    view.verticalHeader()->setFixedWidth(grid->ColWidths(0) + 1);
    view.horizontalHeader()->setFixedHeight(grid->RowHeights(0) + 1);
    for (int c = 0; c < 4; ++c)
        view.setColumnWidth(c, grid->ColWidths(c + 1) + 1);
    view.show();
    QApplication::processEvents();

    // Every picture is taken as the window system takes one, from the widget; the three are taken
    // in turn at every page, so that a busy moment of the machine falls on all of them alike.
    QWidget* widget = grid->Widget();
    QWidget* emptyWidget = empty->Widget();
    QScrollBar* bar = view.verticalScrollBar();
    for (int run = 0; run < runs; ++run) {
        cds->First();
        bar->setValue(0);
        std::vector<double> emptyTimes, fullTimes, frameTimes, viewTimes, viewFrameTimes;
        long maxReads = 0, painting = 0, pages = 0;
        const long before = cds->reads;
        bool gridDone = false, viewDone = false;
        while (!gridDone || !viewDone) {
            double t = NowSeconds();
            QPixmap e = emptyWidget->grab();
            emptyTimes.push_back(NowSeconds() - t);
            if (!gridDone) {
                const long r = cds->reads;
                t = NowSeconds();
                QPixmap shot = widget->grab();
                const double picture = NowSeconds() - t;
                painting += cds->reads - r;
                fullTimes.push_back(picture);
                gridDone = cds->Eof() || cds->RecNo() == f.records;
                if (!gridDone) {
                    const long k = cds->reads;
                    t = NowSeconds();
                    SendKey(grid, VK_NEXT);
                    const long moved = cds->reads;
                    showPending();
                    frameTimes.push_back(NowSeconds() - t);
                    painting += cds->reads - moved;
                    maxReads = std::max(maxReads, moved - k);
                    ++pages;
                }
            }
            if (!viewDone) {
                t = NowSeconds();
                QPixmap shot = view.grab();
                const double picture = NowSeconds() - t;
                viewTimes.push_back(picture);
                viewDone = bar->value() >= bar->maximum();
                if (!viewDone) {
                    t = NowSeconds();
                    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                    showPending();
                    viewFrameTimes.push_back(NowSeconds() - t);
                }
            }
        }
        f.empty = std::min(f.empty, median(emptyTimes));
        f.full = std::min(f.full, median(fullTimes));
        f.frame = std::min(f.frame, median(frameTimes));
        f.view = std::min(f.view, median(viewTimes));
        f.viewFrame = std::min(f.viewFrame, median(viewFrameTimes));
        f.frames = long(frameTimes.size());
        f.viewFrames = long(viewFrameTimes.size());
        f.readsPerFrame = (cds->reads - before - painting) / std::max(pages, 1L);
        f.maxReadsPerFrame = maxReads;
        f.readsPainting = painting;
    }
    std::printf("customer grid, %d customers, 401 x 455 pixels showing %d rows; medians, best of %d runs\n",
                f.records, f.rows, runs);
    std::printf(
        "  empty grid                  picture %7.3f ms                      %7.1f frames per second\n",
        f.empty * 1e3, 1 / f.empty);
    std::printf(
        "  customers, paging           picture %7.3f ms, frame %7.3f ms    %7.1f frames per second  (%ld "
        "frames)\n",
        f.full * 1e3, f.frame * 1e3, 1 / f.frame, f.frames);
    std::printf(
        "  stock QTableView, paging    picture %7.3f ms, frame %7.3f ms    %7.1f frames per second  (%ld "
        "frames)\n",
        f.view * 1e3, f.viewFrame * 1e3, 1 / f.viewFrame, f.viewFrames);
    const double ratio = f.full / f.empty, speed = f.viewFrame / f.frame;
    std::printf("  a full picture costs %.2f x an empty one (target at most 2): %s\n", ratio,
                ratio <= 2 ? "met" : "MISSED");
    std::printf("  the grid pages %.2f x as fast as the QTableView (target at least 1): %s\n", speed,
                speed >= 1 ? "met" : "MISSED");
    std::printf("  records read a frame %ld (at most %ld; %d rows shown), while painting %ld: %s\n",
                f.readsPerFrame, f.maxReadsPerFrame, f.rows, f.readsPainting,
                f.maxReadsPerFrame <= f.rows && f.readsPainting == 0 ? "met" : "MISSED");
    delete form;
}
} // namespace

int main(int argc, char** argv) {
    try {
        const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
        BenchFolder folder;
        const std::string& dir = folder.Path();
        // A copy of its own: another program may hold the cached database open, and an embedded
        // attachment takes the file for itself.
        const std::string customersDatabase = dir + "/customers.fdb";
        const std::string given = argc > 2 && std::string(argv[2]) != "-" ? argv[2] : "";
        fs::copy_file(folder.LargeDatabase(given), customersDatabase);
        if (argc > 3 && std::string(argv[3]) == "customers") {
            StartBenchApplication("grid_paint");
            customers(customersDatabase, runs, folder);
            Application->Shutdown();
            return 0;
        }
        const std::string database = dir + "/lines.fdb";
        std::printf("making %d bill lines in %s\n", kLines, database.c_str());
        std::fflush(stdout);
        makeDatabase(dir, database);
        folder.UseDatabase(database);

        StartBenchApplication("grid_paint");
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
        } columns[] = {{"TEMPPRODID", 114}, {"PROD_NAME", 128}, {"V_QTY", 47},   {"V_UNIT", 54},
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
                if (cds->Eof() || cds->RecNo() == kLines) break;
                SendKey(grid, VK_NEXT);
            }
            bestFull = std::min(bestFull, (NowSeconds() - start) / double(frames));
            readsWhilePaging = cds->reads - before - painted;
            readsWhilePainting = painted;
        }
        std::printf("best of %d runs\n", runs);
        std::printf("  empty grid      %8.2f ms a frame  %7.1f frames per second\n", bestEmpty * 1e3,
                    1 / bestEmpty);
        std::printf(
            "  100,000 lines   %8.2f ms a frame  %7.1f frames per second  (%ld frames, a page each)\n",
            bestFull * 1e3, 1 / bestFull, frames);
        std::printf("  a full frame costs %.2f x an empty one\n", bestFull / bestEmpty);
        std::printf("  records read while paging %ld (of %d), while painting %ld\n", readsWhilePaging, kLines,
                    readsWhilePainting);
        delete form;
        customers(customersDatabase, runs, folder);
        Application->Shutdown();
        return readsWhilePainting == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_paint: %s\n", e.what());
        return 2;
    }
}
