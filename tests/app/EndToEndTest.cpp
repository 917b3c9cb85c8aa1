// The real program on a real X server (Xvfb), driven with xdotool as a clerk drives it: two
// customers ticked with a click each, a third with Down and Space, 確定 clicked, the window closed.
// The program that started the tool must find the selection block on standard output, and the
// program must end with code 0.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "app/XDisplay.h"
#include "core/SysUtils.h"
#include "grid/KxGridDataLink.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool onPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && fs::exists(fs::path(dir) / tool)) return true;
    return false;
}

std::string readFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The test's environment with `set` (NAME=value entries) in place of its own entries of those
// names; the program's automation switches and the test's platform are left out.
std::vector<std::string> environmentWith(const std::vector<std::string>& set) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        bool replaced = v.rfind("MORVANE_", 0) == 0 || v.rfind("QT_QPA_PLATFORM=", 0) == 0;
        for (const std::string& s : set)
            replaced = replaced || v.rfind(s.substr(0, s.find('=') + 1), 0) == 0;
        if (!replaced) env.push_back(v);
    }
    env.insert(env.end(), set.begin(), set.end());
    return env;
}

// Starts a child with standard output and error in files (null: inherited).
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const char* out,
            const char* err) {
    std::vector<char*> argv, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out) posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err) posix_spawn_file_actions_addopen(&actions, 2, err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The child's exit code once it ended within `limit` (128 + signal when killed); -1 while it runs.
int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0) return 255; // not a child of ours (any more)
        if (std::chrono::steady_clock::now() > end) return -1;
        std::this_thread::sleep_for(50ms);
    }
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    if (waitFor(pid, 10s) == -1) {
        kill(pid, SIGKILL);
        waitFor(pid, 10s);
    }
}

// An X server of the test's own on the first free display number, stopped by its process id.
struct XServer {
    std::string display;
    pid_t pid = -1;
    XServer() {
        for (int n = 91; n < 160 && pid < 0; ++n) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (fs::exists(socket) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
            pid = spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                         "-dpi", "96"},
                        environmentWith({}), "/dev/null", "/dev/null");
            // Taken meanwhile, or failing: the server ends; else its socket appears.
            while (pid > 0 && !fs::exists(socket))
                if (waitFor(pid, 100ms) != -1) pid = -1;
            if (pid > 0) display = ":" + std::to_string(n);
        }
    }
    ~XServer() {
        if (pid > 0) stop(pid);
    }
};

// xdotool on the display; what it printed.
std::string xdo(const XServer& x, std::vector<std::string> args) {
    const std::string out = MakeTempDir() + "/xdo.txt";
    args.insert(args.begin(), "xdotool");
    const pid_t pid = spawn(args, environmentWith({"DISPLAY=" + x.display}), out.c_str(), "/dev/null");
    const int code = pid > 0 ? waitFor(pid, 30s) : 255;
    if (code == -1) stop(pid);
    std::string text = code == 0 ? readFile(out) : std::string();
    fs::remove_all(fs::path(out).parent_path());
    return text;
}

struct Spot {
    int x, y;
};
} // namespace

TEST(EndToEnd, TicksConfirmedOnARealXServerReachStandardOutput) {
    if (!onPath("Xvfb") || !onPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());

    // Where the boxes and the button are, and what the rows hold: the same window built here.
    Spot boxes[2], confirm;
    std::string expected;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        auto spot = [&](TControl* c, TRect r) {
            const TPoint p = c->ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
            const TPoint o = form.ClientToScreen({0, 0});
            return Spot{p.X - o.X, p.Y - o.Y};
        };
        boxes[0] = spot(g, g->CellRect(1, 2));
        boxes[1] = spot(g, g->CellRect(1, 4));
        confirm = spot(form.SpeedButton1, form.SpeedButton1->ClientRect());
        for (int row : {2, 4, 5}) {
            TActiveRecordScope scope(g->DataLink(), row - 1);
            expected += codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()) + "\t" +
                        codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()) + "\n";
        }
        expected += "\n";
    }

    // The program gets a database of its own: the one above stays open in this process for a while.
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    const std::string dir = MakeTempDir(), out = dir + "/out.txt", err = dir + "/err.txt";
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::vector<std::string> env =
        environmentWith({"DISPLAY=" + x.display, "QT_QPA_PLATFORM=xcb", "MORVANE_DIALOGS=auto",
                         std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":intercept_tls_get_addr=0"});
    const pid_t program = spawn({ExeDir() + "morvane", "S0607240001"}, env, out.c_str(), err.c_str());
    ASSERT_GT(program, 0);

    std::string window;
    for (auto end = std::chrono::steady_clock::now() + 60s;
         window.empty() && std::chrono::steady_clock::now() < end;) {
        std::stringstream found(xdo(x, {"search", "--onlyvisible", "--name", "^FormMorvane$"}));
        std::getline(found, window);
        if (window.empty() && waitFor(program, 200ms) != -1) break;
    }
    if (window.empty()) stop(program);
    ASSERT_FALSE(window.empty()) << readFile(err);

    for (const Spot& s : boxes)
        xdo(x, {"mousemove", "--window", window, std::to_string(s.x), std::to_string(s.y), "click", "1"});
    xdo(x, {"key", "--window", window, "Down"});
    xdo(x, {"key", "--window", window, "space"});
    xdo(x, {"mousemove", "--window", window, std::to_string(confirm.x), std::to_string(confirm.y), "click",
            "1"});
    // The block is closed by an empty line.
    for (auto end = std::chrono::steady_clock::now() + 60s;
         readFile(out).find("\n\n") == std::string::npos && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(100ms);

    AskWindowToClose(x.display, std::stoul(window));
    const int code = waitFor(program, 60s);
    if (code == -1) stop(program);
    EXPECT_EQ(code, 0) << readFile(err);
    EXPECT_EQ(readFile(out), expected) << readFile(err);
    fs::remove_all(dir);
}

// The window as a screen reader reads it: the program on a real X server with a session bus and the
// accessibility bus (started here and stopped by their process ids), read by a client of the bus
// (read_window_atspi.py beside this file, run by the system's Python with Debian's pyatspi).
TEST(EndToEnd, AScreenReaderReadsTheCustomerTableAndTicksThroughTheBus) {
    const std::string launcher = "/usr/libexec/at-spi-bus-launcher", python = "/usr/bin/python3";
    if (!onPath("Xvfb") || !onPath("xdotool") || !onPath("dbus-daemon") || !fs::exists(launcher) ||
        !fs::exists("/usr/lib/python3/dist-packages/pyatspi"))
        GTEST_SKIP() << "Xvfb, xdotool, dbus, at-spi2-core and python3-pyatspi come with scripts/setup.sh";
    const char* sqlDir = std::getenv("MORVANE_TEST_SQL_DIR");
    const fs::path reader = fs::path(sqlDir ? sqlDir : "db").parent_path() / "tests/app/read_window_atspi.py";

    // What the reader must find: the list's titles and first rows, as the same window holds them here.
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    std::vector<std::string> codes, names;
    int customers = 0, billLines = 0;
    std::string product;
    {
        StartApplication();
        TFormMorvane form(Application);
        customers = form.CDS_CUST->RecordCount();
        form.CDS_SaleSub->Close();
        form.CDS_SaleSub->SetCommandText(BillStatement("SAL_SUB", "S0607240001"));
        form.CDS_SaleSub->Open();
        billLines = form.CDS_SaleSub->RecordCount();
        product = codepage::ToUtf8(form.CDS_SaleSub->FieldByName("PROD_NAME")->DisplayText());
        for (form.CDS_CUST->First(); codes.size() < 3; form.CDS_CUST->Next()) {
            codes.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()));
            names.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()));
        }
    }

    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    const std::string dir = MakeTempDir(), bus = dir + "/bus";
    struct Child {
        pid_t pid;
        void end() {
            if (pid > 0) stop(pid);
            pid = -1;
        }
        ~Child() { end(); }
    };
    // Declared in starting order, stopped in the reverse one.
    Child session{spawn({"dbus-daemon", "--session", "--nofork", "--address", "unix:path=" + bus},
                        environmentWith({}), "/dev/null", "/dev/null")};
    for (auto end = std::chrono::steady_clock::now() + 10s; !fs::exists(bus) && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(fs::exists(bus)) << "no session bus";
    const std::vector<std::string> desktop = {"DISPLAY=" + x.display, "DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus};
    Child a11y{spawn({launcher, "--launch-immediately"}, environmentWith(desktop), "/dev/null", "/dev/null")};
    std::vector<std::string> env = desktop;
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.insert(env.end(), {"QT_QPA_PLATFORM=xcb", "MORVANE_DIALOGS=auto", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                           std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":intercept_tls_get_addr=0"});
    const std::string out = dir + "/out.txt", err = dir + "/err.txt", heard = dir + "/heard.txt";
    Child program{spawn({ExeDir() + "morvane", "S0607240001"}, environmentWith(env), out.c_str(), err.c_str())};
    ASSERT_GT(program.pid, 0);

    Child client{spawn({python, reader.string(), "kxDBGrid1"}, environmentWith(desktop), heard.c_str(), nullptr)};
    const int readerCode = waitFor(client.pid, 180s);
    if (readerCode != -1) client.pid = -1;
    QJsonObject lines;
    for (const QString& line : QString::fromStdString(readFile(heard)).split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        for (auto it = o.begin(); it != o.end(); ++it) lines[it.key()] = it.value();
    }
    const QJsonObject r = lines;
    // The registry daemon is the accessibility bus's child; it must not outlive the buses.
    const pid_t registry = r["registry"].toInt(-1);
    for (auto end = std::chrono::steady_clock::now() + 60s;
         readFile(out).find("\n\n") == std::string::npos && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(100ms);
    const std::string block = readFile(out);
    program.end();
    a11y.end();
    session.end();
    if (registry > 0) {
        for (int i = 0; i < 100 && kill(registry, 0) == 0; ++i) std::this_thread::sleep_for(50ms);
        if (kill(registry, 0) == 0) kill(registry, SIGTERM);
    }
    ASSERT_EQ(readerCode, 0) << readFile(heard) << readFile(err);

    auto utf8 = [](const std::string& s) { return QString::fromStdString(s); };
    EXPECT_EQ(r["window"].toString(), "FormMorvane");
    EXPECT_EQ(r["rows"].toInt(), customers) << "every customer is a row, not only those painted";
    EXPECT_EQ(r["titles"].toArray(), QJsonArray({U("選擇"), U("客戶代號"), U("客戶名稱"), U("客戶類別")}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r["first"][i].toArray(), QJsonArray({utf8(codes[i]), utf8(names[i])}));
        EXPECT_EQ(r["boxes"][i].toArray(), QJsonArray({"check box", false}));
    }
    EXPECT_EQ(r["edits"][0].toArray(), QJsonArray({U("來源單號"), "S0607240001"}));
    EXPECT_EQ(r["edits"][2][0].toString(), "CUST_ID");
    EXPECT_EQ(r["lines"].toArray(), QJsonArray({billLines, "PROD_NAME", utf8(product)}));
    // The focus went to the first customer's code, then Down moved it to the second's.
    const QJsonArray focus = r["heard"].toArray();
    ASSERT_GE(focus.size(), 2);
    EXPECT_EQ(focus[focus.size() - 2].toArray(), QJsonArray({"table cell", utf8(codes[0])}));
    EXPECT_EQ(focus[focus.size() - 1].toArray(), QJsonArray({"table cell", utf8(codes[1])}));
    EXPECT_EQ(r["boxActions"][0].toString(), "Toggle");
    EXPECT_EQ(r["checkedHeard"].toArray(), QJsonArray({1}));
    EXPECT_TRUE(r["boxAfter"].toBool());
    EXPECT_EQ(r["button"].toArray(), QJsonArray({U("確定"), "Press"}));
    EXPECT_EQ(block, codes[1] + "\t" + names[1] + "\n\n") << readFile(err);
    fs::remove_all(dir);
}
