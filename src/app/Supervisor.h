#pragma once
// The program runs as two processes: a parent that only watches, and a child that does the work. A
// damaged database file can make the database engine, which runs inside the program, fail so hard
// that the process dies on a signal; the parent then shows the "Application Error" box that the
// dying child could not, naming the database when the child was working on one, and ends with
// code 1. Otherwise the parent ends with the child's own exit code. The child inherits everything
// (standard input, output and error, the environment), and dies with the parent. The child learns
// the notes pipe from MORVANE_WATCHER_FD, which is the program's own and removed at once.
//
// Cost: one more start of the program and a pipe of a few short notes; the parent sleeps in waitpid.
#include "core/AnsiString.h"

#include <functional>
#include <string>

namespace supervisor {
// Runs `work` in a child process and waits for it. With `argv`, the child is this program started
// anew with the same arguments (a fresh process, nothing of the parent's state carried over), and
// runs `work` when this function is called there; without, the child is a copy of this process.
// `showCrash(text, database)` is called in the parent when the child died on a signal other than a
// deliberate stop (interrupt, termination, hang-up, broken pipe); `database` tells whether the text
// is about a database. Returns the exit code for the parent (or the child's, in the child); if no
// child can be made, `work` runs in this process.
int Run(char** argv, const std::function<int()>& work,
        const std::function<int(const AnsiString& text, bool database)>& showCrash);

// Makes termination, interrupt and hang-up end this process at once, as they end a process that
// installed no handler (the database engine installs its own, which would keep it running), and a
// write to a pipe nobody reads answer an error instead of ending it. Called again after the engine
// has started, which may have replaced them.
void ObeyStopSignals();

// In the child: the database the engine is about to open, and that start-up is over (a later
// death is not the database's doing). Nothing happens outside a supervised child.
void NoteDatabase(const AnsiString& database);
void NoteStarted();

// The parent's text for a child that died on `signal`; `database` is the last one noted before
// start-up was over, or empty.
AnsiString CrashText(int signal, const AnsiString& database);
} // namespace supervisor
