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

// Text reaches a customer's name by every way a user pastes it, on a real X server with real
// clipboard owners: Shift+Insert, the middle button (the primary selection) and the editor's own
// menu; each pasted name is posted and handed on by 確定. Then Escape held on a ticked row asks
// "Discard changes to this record?" once: the Yes/No box ignores Escape, so a held key stacks nothing.
TEST(EndToEnd, PasteByEveryPathReachesTheRecordAndHeldEscapeAsksOnce) {
    if (!onPath("Xvfb") || !onPath("xdotool") || !onPath("xclip"))
        GTEST_SKIP() << "Xvfb, xdotool and xclip come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    Spot box[4], name[4], confirm;
    std::vector<std::string> ids, names;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        int nameCol = 0;
        while (g->MappedField(nameCol - g->IndicatorOffset()) != form.CDS_CUSTCUST_NAME) ++nameCol;
        auto spot = [&](TControl* c, TRect r) {
            const TPoint p = c->ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
            const TPoint o = form.ClientToScreen({0, 0});
            return Spot{p.X - o.X, p.Y - o.Y};
        };
        for (int i = 0; i < 4; ++i) {
            box[i] = spot(g, g->CellRect(1, i + 2));
            name[i] = spot(g, g->CellRect(nameCol, i + 2));
            TActiveRecordScope scope(g->DataLink(), i + 1);
            ids.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()));
            names.push_back(codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()));
        }
        confirm = spot(form.SpeedButton1, form.SpeedButton1->ClientRect());
    }
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    const std::string dir = MakeTempDir(), out = dir + "/out.txt", err = dir + "/err.txt";
    std::ofstream(dir + "/clip.txt") << "Cl\xF0\x9F\x98\x80ip"; // Big5 has no emoji
    std::ofstream(dir + "/prim.txt") << "Prim";
    const std::vector<std::string> xenv = environmentWith({"DISPLAY=" + x.display});
    pid_t owners[2] = {
        -1, spawn({"xclip", "-quiet", "-selection", "primary", "-i", dir + "/prim.txt"}, xenv, "/dev/null", "/dev/null")};
    const char* asan = std::getenv("ASAN_OPTIONS");
    const pid_t program =
        spawn({ExeDir() + "morvane", "S0607240001"},
              environmentWith({"DISPLAY=" + x.display, "QT_QPA_PLATFORM=xcb",
                               std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":intercept_tls_get_addr=0"}),
              out.c_str(), err.c_str());
    ASSERT_GT(program, 0);
    std::string window;
    for (auto end = std::chrono::steady_clock::now() + 60s; window.empty() && std::chrono::steady_clock::now() < end;) {
        std::stringstream found(xdo(x, {"search", "--onlyvisible", "--name", "^FormMorvane$"}));
        std::getline(found, window);
        if (window.empty() && waitFor(program, 200ms) != -1) break;
    }
    auto at = [&](const Spot& s, const char* button) {
        xdo(x, {"mousemove", "--window", window, std::to_string(s.x), std::to_string(s.y), "click", button});
        std::this_thread::sleep_for(300ms);
    };
    auto key = [&](const char* k) { xdo(x, {"key", "--window", window, k}); };
    if (!window.empty()) {
        // F2 opens the editor, a second F2 puts the caret after the name.
        // The first paste finds no clipboard owner at all.
        at(name[0], "1"), key("F2"), key("F2"), key("shift+Insert");
        owners[0] = spawn({"xclip", "-quiet", "-selection", "clipboard", "-i", dir + "/clip.txt"}, xenv, "/dev/null",
                          "/dev/null");
        std::this_thread::sleep_for(500ms);
        key("shift+Insert");
        at(name[1], "1"), key("F2"), key("F2"), at(name[1], "2");
        at(name[2], "1"), key("F2"), key("F2"), at(name[2], "3");
        xdo(x, {"key", "p"}); // the menu's Paste
        for (const Spot& s : {box[0], box[1], box[2], confirm}) at(s, "1");
        for (auto end = std::chrono::steady_clock::now() + 30s;
             readFile(out).find("\n\n") == std::string::npos && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(100ms);
        at(box[3], "1");
        xdo(x, {"keydown", "Escape"});
        std::this_thread::sleep_for(1500ms);
        xdo(x, {"keyup", "Escape"});
        std::this_thread::sleep_for(500ms);
        xdo(x, {"key", "Return"}); // Yes: the tick goes
        std::this_thread::sleep_for(500ms);
        if (waitFor(program, 0ms) == -1) AskWindowToClose(x.display, std::stoul(window));
    }
    const int code = waitFor(program, 30s);
    if (code == -1) stop(program);
    for (pid_t p : owners)
        if (p > 0) stop(p);
    ASSERT_FALSE(window.empty()) << readFile(err);
    EXPECT_EQ(code, 0) << readFile(err);
    EXPECT_EQ(readFile(out), ids[0] + "\t" + names[0] + "Clip\n" + ids[1] + "\t" + names[1] + "Prim\n" + ids[2] + "\t" + names[2] + "Clip\n\n") << readFile(err);
    const std::string boxes = readFile(err);
    size_t asked = 0;
    for (size_t at = boxes.find("Discard changes"); at != std::string::npos; at = boxes.find("Discard changes", at + 1))
        ++asked;
    EXPECT_EQ(asked, 1u) << boxes;
    fs::remove_all(dir);
}
