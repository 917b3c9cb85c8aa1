// How long the program takes from its start to the first painting of its window, on the generator's
// large database (1,000,000 bill lines, 100,000 customers), against a plain Firebird C API loop that
// fetches the rows of the same start-up statements in the same run.
//
//   startup [DATABASE] [RUNS]
//
// Without a database the large one is made in a temporary folder with scripts/make-db.sh. The window
// is built offscreen as the program builds it, in a child process of its own per run; the figure is
// the best of RUNS runs (default 3), the program and the loop alternating. Target: at most 1.5 times
// the loop's time.
#include "app/FrmMorvane.h"
#include "core/Registry.h"
#include "support/BenchFolder.h"
#include "support/FbReference.h"
#include "ui/Application.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mman.h>

namespace fs = std::filesystem;

namespace {
constexpr double kTimeTarget = 1.5;
// The generator's first bill (100 lines).
const char* kBill = "B000000001";

// What a child reports: it lives in memory shared with the parent.
struct Shared {
    double seconds;  // from the child's start to the end of its work
    double initialized, built;  // the program: when the window system was up, when the window was built
    int64_t rows;
    char error[512];
};
Shared* shared = nullptr;

// The statements the start-up runs, in its order: every bill line and every customer while the window
// is built, then the bill's header and lines in FormCreate.
std::vector<std::string> startupStatements() {
    return {"select * from SAL_SUB",
            "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID",
            BillStatement("SAL_MASTER", kBill), BillStatement("SAL_SUB", kBill)};
}

int64_t fetchLoop(void* arg) {
    const std::string& database = *static_cast<const std::string*>(arg);
    try {
        double start = NowSeconds();
        for (const std::string& sql : startupStatements())
            shared->rows += FetchAll(database, sql).rows;
        shared->seconds = NowSeconds() - start;
        return 0;
    } catch (const std::exception& e) {
        std::snprintf(shared->error, sizeof shared->error, "%s", e.what());
        return 1;
    }
}

// Notes the moment the window has been painted the first time: its controls (which cover it) are all
// painted in one pass, so the moment after the pass that painted the first of them is the figure.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(double start) : start_(start) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        TForm* form = Application->MainForm();
        if (!seen_ && e->type() == QEvent::Paint && form && o->isWidgetType() &&
            static_cast<QWidget*>(o)->window() == form->Widget()) {
            seen_ = true;
            QTimer::singleShot(0, qApp, [this] { shared->seconds = NowSeconds() - start_; });
        }
        return false;
    }

private:
    double start_;
    bool seen_ = false;
};

int64_t startProgram(void*) {
    try {
        double start = NowSeconds();
        static char arg0[] = "morvane";
        static char arg1[32];
        std::snprintf(arg1, sizeof arg1, "%s", kBill);
        static char* argv[] = {arg0, arg1, nullptr};
        Application->Initialize(2, argv);
        shared->initialized = NowSeconds() - start;
        FirstPaint watch(start);
        qApp->installEventFilter(&watch);
        auto* form = Application->CreateForm<TFormMorvane>();
        shared->built = NowSeconds() - start;
        TClientDataSet* lines = form->CDS_SaleSub;
        shared->rows = form->CDS_CUST->RecordCount() + lines->RecordCount() + form->CDS_SaleMaster->RecordCount();
        if (lines->RecordCount() == 0)
            throw std::runtime_error(std::string("no lines of bill ") + kBill);
        // As the message loop starts: show the window, then dispatch until it has been painted.
        form->Show();
        double deadline = NowSeconds() + 60;
        while (shared->seconds == 0 && NowSeconds() < deadline)
            Application->ProcessMessages();
        qApp->removeEventFilter(&watch);
        Application->Shutdown();
        return shared->seconds > 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::snprintf(shared->error, sizeof shared->error, "%s", e.what());
        return 1;
    }
}

// Best wall time of the runs so far; the row counts must agree between runs.
struct Best {
    double seconds = 1e300;
    double initialized = 0, built = 0;  // of the best run
    double cpuSeconds = 1e300;
    int64_t peakBytes = INT64_MAX;
    int64_t rows = -1;
};

void run(const char* what, int64_t (*work)(void*), void* arg, Best& best) {
    *shared = Shared{};
    ChildFigures c = RunInChild(work, arg);
    if (c.value != 0 || shared->error[0])
        throw std::runtime_error(std::string(what) + ": " + shared->error);
    if (best.rows >= 0 && best.rows != shared->rows)
        throw std::runtime_error(std::string(what) + ": the row count changed between runs");
    if (shared->seconds < best.seconds) {
        best.initialized = shared->initialized;
        best.built = shared->built;
    }
    best.seconds = std::min(best.seconds, shared->seconds);
    best.cpuSeconds = std::min(best.cpuSeconds, c.cpuSeconds);
    best.peakBytes = std::min(best.peakBytes, c.peakBytes);
    best.rows = shared->rows;
}

double mb(int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }
} // namespace

int main(int argc, char** argv) {
    try {
        BenchFolder folder;
        std::string database = folder.LargeDatabase(argc > 1 ? argv[1] : "");
        int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
        folder.UseDatabase(database);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("MORVANE_DIALOGS", "auto", 1);
        unsetenv("MORVANE_SCREENSHOT");
        unsetenv("MORVANE_STATE");
        shared = static_cast<Shared*>(
            mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        if (shared == MAP_FAILED)
            throw std::runtime_error("cannot map shared memory");

        std::printf("database %s, bill %s, best of %d runs each\n", database.c_str(), kBill, runs);
        Best loop, program;
        // Alternating, so that a busy moment of the machine falls on both alike.
        for (int i = 0; i < runs; ++i) {
            run("C API loop", fetchLoop, &database, loop);
            run("program", startProgram, nullptr, program);
        }
        double ratio = program.seconds / loop.seconds;
        std::printf("C API loop, the start-up's four statements  %7.3f s   (%lld rows; child: %.3f s cpu, peak %.1f MB)\n",
                    loop.seconds, static_cast<long long>(loop.rows), loop.cpuSeconds, mb(loop.peakBytes));
        std::printf("program, start to first painting            %7.3f s   (%lld rows held; child: %.3f s cpu, peak %.1f MB)\n",
                    program.seconds, static_cast<long long>(program.rows), program.cpuSeconds,
                    mb(program.peakBytes));
        std::printf("  of which: window system up %.3f s, window built and bill loaded %.3f s, shown and painted %.3f s\n",
                    program.initialized, program.built - program.initialized, program.seconds - program.built);
        std::printf("ratio %.2f (target %.1f: %s)\n", ratio, kTimeTarget, ratio <= kTimeTarget ? "met" : "MISSED");
        return ratio <= kTimeTarget ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "startup: %s\n", e.what());
        return 2;
    }
}
