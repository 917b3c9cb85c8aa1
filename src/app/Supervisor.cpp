#include "app/Supervisor.h"

#include "core/Format.h"
#include "core/SysUtils.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace supervisor {
namespace {
int noteFd = -1; // the child's end of the notes pipe; -1 outside a supervised child
// Tells a child started anew which of its descriptors is the notes pipe; read and removed at once.
const char* const kWatcherFd = "MORVANE_WATCHER_FD";

// Notes are lines: "database <path>" and "started". A note that does not fit the pipe is dropped
// rather than held: the child never waits on its watcher.
void note(const std::string& line) {
    if (noteFd < 0) return;
    std::string text = line + "\n";
    ssize_t written = ::write(noteFd, text.data(), text.size());
    (void)written;
}

// What the child said, read once it has gone: the last database noted before "started".
AnsiString databaseOf(int fd) {
    std::string notes;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        notes.append(buf, size_t(n));
    AnsiString database;
    size_t at = 0;
    while (at < notes.size()) {
        size_t end = notes.find('\n', at);
        if (end == std::string::npos) break;
        std::string line = notes.substr(at, end - at);
        at = end + 1;
        if (line == "started") return {};
        if (line.rfind("database ", 0) == 0) database = line.substr(9);
    }
    return database;
}

void stopNow(int signal) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered as the handler returns: the process ends by the signal itself
}

bool deliberateStop(int signal) {
    return signal == SIGINT || signal == SIGTERM || signal == SIGHUP || signal == SIGPIPE;
}
} // namespace

void ObeyStopSignals() {
    struct sigaction stop {};
    stop.sa_handler = stopNow;
    sigemptyset(&stop.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &stop, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void NoteDatabase(const AnsiString& database) {
    note("database " + database);
}
void NoteStarted() {
    note("started");
}

AnsiString CrashText(int signal, const AnsiString& database) {
    const char* what = strsignal(signal);
    AnsiString cause = what ? AnsiString(what) : Format("signal %d", signal);
    if (!database.empty())
        return Format(
            "The database engine stopped while opening or reading the database %s (%s); the database "
            "file may be damaged",
            database, cause);
    return Format("The program stopped unexpectedly (%s)", cause);
}

int Run(char** argv, const std::function<int()>& work,
        const std::function<int(const AnsiString& text, bool database)>& showCrash) {
    // Started anew by a watcher: note to it, and keep the pipe from whatever this process starts.
    if (const char* fd = argv ? std::getenv(kWatcherFd) : nullptr) {
        noteFd = std::atoi(fd);
        ::unsetenv(kWatcherFd);
        if (::fcntl(noteFd, F_SETFD, FD_CLOEXEC) != 0)
            noteFd = -1;
        else
            ::fcntl(noteFd, F_SETFL, O_NONBLOCK);
        return work();
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return work();
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return work();
    }
    if (child == 0) {
        // The child goes when its watcher goes, whoever ends the watcher.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(1);
        ::close(fds[0]);
        if (argv) {
            ::fcntl(fds[1], F_SETFD, 0);
            ::setenv(kWatcherFd, std::to_string(fds[1]).c_str(), 1);
            ::execv(ExeName().c_str(), argv);
            ::unsetenv(kWatcherFd);
        }
        // No new start: the copy does the work.
        ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
        noteFd = fds[1];
        return work();
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    AnsiString database = databaseOf(fds[0]);
    ::close(fds[0]);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (!WIFSIGNALED(status)) return 1;
    const int signal = WTERMSIG(status);
    if (deliberateStop(signal)) return 128 + signal;
    return showCrash(CrashText(signal, database), !database.empty());
}
} // namespace supervisor
