// Xvfb, xdotool and the program in child processes; asking a window of a real X server to close, as
// a window manager's close button does (the WM_DELETE_WINDOW message of the window manager protocol).
// The X library is loaded when needed, so the tests link nothing of X; its header gives the types only.
#include "app/XDisplay.h"

#include "core/SysUtils.h"
#include "support/FirebirdDb.h"

#include <X11/Xlib.h>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && fs::exists(fs::path(dir) / tool)) return true;
    return false;
}

std::string ReadWholeFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& set) {
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

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const char* out,
            const char* err, int outFd) {
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
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    if (outFd == kNoOutput) posix_spawn_file_actions_addclose(&actions, 1);
    if (err) posix_spawn_file_actions_addopen(&actions, 2, err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
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

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    if (WaitFor(pid, 10s) == -1) {
        kill(pid, SIGKILL);
        WaitFor(pid, 10s);
    }
}

namespace {
// The server takes connections on `socket` (its file appears when the server binds it, a moment
// before it listens).
bool accepts(const std::string& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    return ok;
}
} // namespace

XServer::XServer() {
    for (int n = 91; n < 160 && pid < 0; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (fs::exists(socket) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
        // No reset when the last client goes: each xdotool run is a client of its own, and a reset
        // under way drops a client that is just connecting (the program, now and then).
        pid = Spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-dpi",
                     "96", "-noreset"},
                    EnvironmentWith({}), "/dev/null", "/dev/null");
        // Taken meanwhile, or failing: the server ends; else it takes connections.
        while (pid > 0 && !accepts(socket))
            if (WaitFor(pid, 100ms) != -1) pid = -1;
        if (pid > 0) display = ":" + std::to_string(n);
    }
}

XServer::~XServer() {
    if (pid > 0) Stop(pid);
}

std::string Xdo(const XServer& x, std::vector<std::string> args) {
    const std::string out = MakeTempDir() + "/xdo.txt";
    args.insert(args.begin(), "xdotool");
    const pid_t pid = Spawn(args, EnvironmentWith({"DISPLAY=" + x.display}), out.c_str(), "/dev/null");
    const int code = pid > 0 ? WaitFor(pid, 30s) : 255;
    if (code == -1) Stop(pid);
    std::string text = code == 0 ? ReadWholeFile(out) : std::string();
    fs::remove_all(fs::path(out).parent_path());
    return text;
}

XProgram::XProgram(const XServer& server, const std::vector<std::string>& args, XProgramOptions options)
    : x(server), dir(MakeTempDir()), out(options.out ? options.out : dir + "/out.txt"), err(dir + "/err.txt") {
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> set{"DISPLAY=" + x.display, "QT_QPA_PLATFORM=xcb",
                                 std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":intercept_tls_get_addr=0"};
    if (options.answerBoxes) set.push_back("MORVANE_DIALOGS=auto");
    std::vector<std::string> argv{ExeDir() + "morvane"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (x.display.empty()) return;
    pid = Spawn(argv, EnvironmentWith(set), options.outFd == -1 ? out.c_str() : nullptr, err.c_str(),
                options.outFd);
    for (auto end = std::chrono::steady_clock::now() + 60s;
         pid > 0 && window.empty() && std::chrono::steady_clock::now() < end;) {
        std::stringstream found(Xdo(x, {"search", "--onlyvisible", "--name", "^FormMorvane$"}));
        std::getline(found, window);
        if (window.empty() && WaitFor(pid, 200ms) != -1) pid = -1;
    }
}

XProgram::~XProgram() {
    if (pid > 0 && WaitFor(pid, 0ms) == -1) Stop(pid);
    fs::remove_all(dir);
}

void XProgram::Click(Spot s, const char* button) const {
    Xdo(x, {"mousemove", "--window", window, std::to_string(s.x), std::to_string(s.y), "click", button});
    std::this_thread::sleep_for(450ms);
}

void XProgram::Key(const std::string& keys) const { Xdo(x, {"key", keys}); }
void XProgram::Type(const std::string& text) const { Xdo(x, {"type", text}); }

int XProgram::Close() {
    if (pid <= 0) return -1;
    if (!window.empty()) AskWindowToClose(x.display, std::stoul(window));
    const int code = WaitFor(pid, 60s);
    if (code == -1) Stop(pid);
    pid = -1;
    return code;
}

bool XProgram::WaitForOutput(const std::string& text) const {
    for (auto end = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < end;) {
        if (Output().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

bool AskWindowToClose(const std::string& display, unsigned long window) {
    void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(lib, "XOpenDisplay"));
    auto atom = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(lib, "XInternAtom"));
    auto send = reinterpret_cast<Status (*)(Display*, Window, Bool, long, XEvent*)>(dlsym(lib, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XFlush"));
    auto close = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XCloseDisplay"));
    bool sent = false;
    if (open && atom && send && flush && close) {
        if (Display* d = open(display.c_str())) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = window;
            e.xclient.message_type = atom(d, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = long(atom(d, "WM_DELETE_WINDOW", False));
            e.xclient.data.l[1] = CurrentTime;
            sent = send(d, window, False, NoEventMask, &e) != 0;
            flush(d);
            close(d);
        }
    }
    dlclose(lib);
    return sent;
}
