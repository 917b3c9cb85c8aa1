// Morvane: opens the source bill named by the first argument beside the shop's customer list.
#include "app/FrmMorvane.h"
#include "app/Supervisor.h"
#include "data/SQLConnection.h"
#include "grid/KxGridState.h"
#include "grid/support/KxIntl.h"
#include "ui/Application.h"

#include <fcntl.h>

namespace {
// A descriptor 0, 1 or 2 closed by the caller would be taken by the next file opened (the X
// connection, the database), and the selection written into it: each is opened on /dev/null first.
void openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", O_RDWR) != fd)
            return;
}

int runMorvane(int argc, char** argv, const AnsiString& codePageProblem) {
    supervisor::ObeyStopSignals();
    Application->Initialize(argc, argv);
    if (!codePageProblem.empty()) {
        int exitCode = ShowStartupError(Exception(codePageProblem));
        Application->Shutdown();
        return exitCode;
    }
    // The watcher names the database should the engine fail hard while opening or reading it.
    TSQLConnection::Attaching = [](const AnsiString& database) { supervisor::NoteDatabase(database); };
    // The grid library's settings live as long as the application, before any form and after the last.
    CreateProcessIntl();
    int exitCode = 0;
    try {
        TFormMorvane* form = Application->CreateForm<TFormMorvane>();
        // The customer grid as the state file shows it to a calling program. The state counts every
        // customer, customers still to be read in idle time included: the bar spans them all too.
        Application->AddStateSection("kxDBGrid1", [form] {
            form->CDS_CUST->RecordCount();
            form->kxDBGrid1->SyncScrollBar();
            return GridStateJson(*form->kxDBGrid1);
        });
        supervisor::NoteStarted();
        supervisor::ObeyStopSignals();
    } catch (const std::exception& e) {
        // The window could not be built: nothing is shown but the error.
        supervisor::ObeyStopSignals();
        exitCode = ShowStartupError(e);
    }
    // The loop ends when the window closes; the window and its components go with it. Showing the
    // window lays the customer grid out, which may read further rows: a failure there comes before
    // the window is shown and ends the program as a failure while building it.
    if (exitCode == 0) {
        try {
            Application->Run();
        } catch (const std::exception& e) {
            exitCode = ShowStartupError(e);
        }
    }
    Application->Shutdown();
    return exitCode;
}
} // namespace

int main(int argc, char** argv) {
    openStandardDescriptors();
    // Text in a code page the program cannot walk would be garbage everywhere: refuse it at once,
    // saying so in the default code page.
    AnsiString codePageProblem = codepage::CheckName(codepage::Name());
    if (!codePageProblem.empty()) codepage::SetName("BIG5");
    return supervisor::Run(
        argv, [&] { return runMorvane(argc, argv, codePageProblem); },
        [&](const AnsiString& text, bool database) {
            // The child died without a word: its watcher shows the box instead.
            Application->Initialize(argc, argv);
            int exitCode =
                database ? ShowStartupError(EDatabaseError(text)) : ShowStartupError(Exception(text));
            Application->Shutdown();
            return exitCode;
        });
}
