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
// Starts a child with standard output and error in files (null: inherited); -1 when it cannot.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const char* out,
            const char* err);
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

// The program (build/bin/morvane with `args`) on the X server, message boxes answered at once, its
// standard output and error in files of its own; Window is empty when no window showed within a minute.
struct XProgram {
    XProgram(const XServer& x, const std::vector<std::string>& args);
    ~XProgram();
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
