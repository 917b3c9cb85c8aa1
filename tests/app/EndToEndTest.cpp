// The real program on a real X server (Xvfb), driven with xdotool as a clerk drives it: two
// customers ticked with a click each, a third with Down and Space, 確定 clicked, the window closed.
// The program that started the tool must find the selection block on standard output, and the
// program must end with code 0. On a long customer list the same keys work while the list is still
// being read, and Ctrl+End reaches the last customer of all.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "app/XDisplay.h"
#include "core/SysUtils.h"
#include "grid/KxGridDataLink.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

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

// The program started on the display, standard output and error in files of a folder of its own.
struct ProgramOnX {
    std::string dir = MakeTempDir(), out = dir + "/out.txt", err = dir + "/err.txt", window;
    pid_t pid = -1;

    ProgramOnX(const XServer& x, std::vector<std::string> args) {
        const char* asan = std::getenv("ASAN_OPTIONS");
        args.insert(args.begin(), ExeDir() + "morvane");
        pid = spawn(args,
                    environmentWith({"DISPLAY=" + x.display, "QT_QPA_PLATFORM=xcb", "MORVANE_DIALOGS=auto",
                                     std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":intercept_tls_get_addr=0"}),
                    out.c_str(), err.c_str());
        for (auto end = std::chrono::steady_clock::now() + 60s;
             pid > 0 && window.empty() && std::chrono::steady_clock::now() < end;) {
            std::stringstream found(xdo(x, {"search", "--onlyvisible", "--name", "^FormMorvane$"}));
            std::getline(found, window);
            if (window.empty() && waitFor(pid, 200ms) != -1) break;
        }
        if (pid > 0 && window.empty()) stop(pid);
    }
    ~ProgramOnX() { fs::remove_all(dir); }
    void Click(const XServer& x, Spot s) const {
        xdo(x, {"mousemove", "--window", window, std::to_string(s.x), std::to_string(s.y), "click", "1"});
    }
    void Key(const XServer& x, const char* key) const { xdo(x, {"key", "--window", window, key}); }
    // Waits for a selection block (closed by an empty line), closes the window and answers the exit code.
    int CloseAfterBlock(const XServer& x) {
        for (auto end = std::chrono::steady_clock::now() + 60s;
             readFile(out).find("\n\n") == std::string::npos && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(100ms);
        AskWindowToClose(x.display, std::stoul(window));
        const int code = waitFor(pid, 60s);
        if (code == -1) stop(pid);
        return code;
    }
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
    ProgramOnX program(x, {"S0607240001"});
    ASSERT_FALSE(program.window.empty()) << readFile(program.err);

    for (const Spot& s : boxes)
        program.Click(x, s);
    program.Key(x, "Down");
    program.Key(x, "space");
    program.Click(x, confirm);
    EXPECT_EQ(program.CloseAfterBlock(x), 0) << readFile(program.err);
    EXPECT_EQ(readFile(program.out), expected) << readFile(program.err);
}

TEST(EndToEnd, ALongCustomerListTakesKeysWhileItIsStillBeingRead) {
    if (!onPath("Xvfb") || !onPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    // Far more customers than the first packet: the window shows before the rest are read in idle time.
    const TestDatabase shop("SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= 50000) DO "
                            "BEGIN INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C' || LPAD(:i, 5, '0'), "
                            "'客戶' || :i); i = i + 1; END END^\nSET TERM ; ^\n");
    WriteConnectionFiles(shop.Dir(), shop.Path());
    Spot first, confirm;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        const TPoint o = form.ClientToScreen({0, 0});
        const TRect box = form.kxDBGrid1->CellRect(1, 1);
        const TPoint p = form.kxDBGrid1->ClientToScreen({(box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2});
        const TPoint q = form.SpeedButton1->ClientToScreen({10, 10});
        first = {p.X - o.X, p.Y - o.Y};
        confirm = {q.X - o.X, q.Y - o.Y};
    }
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    ProgramOnX program(x, {});
    ASSERT_FALSE(program.window.empty()) << readFile(program.err);

    // The first customer ticked, Ctrl+End to the last of all, ticked too, confirmed.
    program.Click(x, first);
    program.Key(x, "ctrl+End");
    program.Key(x, "space");
    program.Click(x, confirm);
    EXPECT_EQ(program.CloseAfterBlock(x), 0) << readFile(program.err);
    EXPECT_EQ(readFile(program.out), "C00001\t客戶1\nC50000\t客戶50000\n\n") << readFile(program.err);
}
