// The watching parent process: what passes through it unchanged, and what it says for a child that
// died without a word. Each child here ends itself at once; the test program goes on in the parent.
#include "app/Supervisor.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
struct Shown {
    int calls = 0;
    AnsiString text;
    bool database = false;
};

// Runs `child` (which must end its process) under the supervisor; returns the parent's exit code.
template <class F> int supervise(F child, Shown& shown) {
    return supervisor::Run(
        nullptr,
        [&] {
            child();
            ::_exit(99);
            return 0;
        },
        [&](const AnsiString& text, bool database) {
            ++shown.calls;
            shown.text = text;
            shown.database = database;
            return 1;
        });
}

// The child dies on `signal` as from a fault, whatever handler a sanitizer put in place.
[[noreturn]] void die(int signal) {
    std::signal(signal, SIG_DFL);
    ::kill(::getpid(), signal);
    ::_exit(98);
}
} // namespace

TEST(Supervisor, ExitCodesAndStandardOutputPassThrough) {
    Shown shown;
    EXPECT_EQ(supervise([] { ::_exit(0); }, shown), 0);
    EXPECT_EQ(supervise([] { ::_exit(1); }, shown), 1);
    EXPECT_EQ(supervise([] { ::_exit(7); }, shown), 7);
    EXPECT_EQ(shown.calls, 0);

    // What the child writes to standard output reaches whoever reads the parent's.
    std::string path = testing::TempDir() + "supervised-out.txt";
    std::fflush(stdout);
    int saved = ::dup(1), out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    int code = supervise(
        [] {
            const char line[] = "C0001\tname\n\n";
            ssize_t n = ::write(1, line, sizeof line - 1);
            ::_exit(n == sizeof line - 1 ? 0 : 2);
        },
        shown);
    ::dup2(saved, 1);
    ::close(saved);
    ::close(out);
    EXPECT_EQ(code, 0);
    std::stringstream written;
    written << std::ifstream(path).rdbuf();
    EXPECT_EQ(written.str(), "C0001\tname\n\n");
    std::remove(path.c_str());
}

TEST(Supervisor, AChildThatDiesOnASignalIsShownNamingItsDatabase) {
    // While opening the database: the box names it.
    Shown shown;
    EXPECT_EQ(supervise(
                  [] {
                      supervisor::NoteDatabase("/srv/old.fdb");
                      supervisor::NoteDatabase("/srv/shop.fdb");
                      die(SIGSEGV);
                  },
                  shown),
              1);
    EXPECT_EQ(shown.calls, 1);
    EXPECT_TRUE(shown.database);
    EXPECT_EQ(shown.text, supervisor::CrashText(SIGSEGV, "/srv/shop.fdb"));
    EXPECT_EQ(shown.text, "The database engine stopped while opening or reading the database /srv/shop.fdb "
                          "(Segmentation fault); the database file may be damaged");

    // After start-up, or with no database: the program stopped, nothing is blamed on a file.
    shown = {};
    supervise(
        [] {
            supervisor::NoteDatabase("/srv/shop.fdb");
            supervisor::NoteStarted();
            die(SIGABRT);
        },
        shown);
    EXPECT_FALSE(shown.database);
    EXPECT_EQ(shown.text, "The program stopped unexpectedly (Aborted)");

    // A deliberate stop is no failure to report.
    shown = {};
    EXPECT_EQ(supervise([] { die(SIGTERM); }, shown), 128 + SIGTERM);
    EXPECT_EQ(shown.calls, 0);
}
