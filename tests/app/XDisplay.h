#pragma once
// A real X server for end-to-end input: an Xvfb of the test's own, xdotool on it, the program
// started there in a child process, and what the tests need beyond xdotool.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// `tool` is found on the PATH.
bool OnPath(const std::string& tool);
std::string ReadWholeFile(const std::string& path);

// The test's environment with `set` (NAME=value entries) in place of its own entries of those
// names; the program's automation switches and the test's platform are left out.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& set);
// Starts a child with standard output and error in files (null: inherited); `outFd` instead puts
// that descriptor on standard output (kNoOutput: none at all). -1 when it cannot start.
constexpr int kNoOutput = -2;
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const char* out,
            const char* err, int outFd = -1);
// The child's exit code once it ended within `limit` (128 + signal when killed); -1 while it runs.
int WaitFor(pid_t pid, std::chrono::milliseconds limit);
// Ends a child: SIGTERM, then SIGKILL when it does not go.
void Stop(pid_t pid);

// An X server of the test's own on the first free display number, stopped by its process id.
struct XServer {
    std::string display;
    pid_t pid = -1;
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
};

// xdotool on the display; what it printed.
std::string Xdo(const XServer& x, std::vector<std::string> args);

// A point of the program's window, relative to its top left corner.
struct Spot {
    int x, y;
};

// Where the program's standard output goes and whether its message boxes wait for the user.
struct XProgramOptions {
    const char* out = nullptr; // a file; null: a file of the program's own (Output())
    int outFd = -1;            // instead, a descriptor, or kNoOutput
    bool answerBoxes = true;   // boxes answered at once, their text on standard error
};

// The program (build/bin/morvane with `args`) on the X server, its standard error in a file of its
// own; window is empty when no window showed within a minute.
struct XProgram {
    XProgram(const XServer& x, const std::vector<std::string>& args, XProgramOptions options = {});
    ~XProgram();
    // A click of `button` on the spot; two clicks on one spot are never a double click.
    void Click(Spot s, const char* button = "1") const;
    // Keys and text go where the pointer is, as a box the key opens may take them.
    void Key(const std::string& keys) const;
    void Type(const std::string& text) const;
    // Closes the window as the window manager's close button does; the exit code (-1: still running).
    int Close();
    // Waits up to a minute for standard output to hold `text`.
    bool WaitForOutput(const std::string& text) const;
    std::string Output() const { return ReadWholeFile(out); }
    std::string Errors() const { return ReadWholeFile(err); }

    const XServer& x;
    std::string dir, out, err, window;
    pid_t pid = -1;
};

// Sends the window the window manager's close request; false when the display or the X library
// cannot be reached.
bool AskWindowToClose(const std::string& display, unsigned long window);
