// Morvane: opens the source bill named by the first argument beside the shop's customer list.
#include "app/FrmMorvane.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    // Text in a code page the program cannot walk would be garbage everywhere: refuse it at once,
    // saying so in the default code page.
    AnsiString codePageProblem = codepage::CheckName(codepage::Name());
    if (!codePageProblem.empty())
        codepage::SetName("BIG5");
    Application->Initialize(argc, argv);
    if (!codePageProblem.empty()) {
        int exitCode = ShowStartupError(Exception(codePageProblem));
        Application->Shutdown();
        return exitCode;
    }
    int exitCode = 0;
    try {
        Application->CreateForm<TFormMorvane>();
    } catch (const std::exception& e) {
        // The window could not be built: nothing is shown but the error.
        exitCode = ShowStartupError(e);
    }
    // The loop ends when the window closes; the window and its components go with it.
    if (exitCode == 0)
        Application->Run();
    Application->Shutdown();
    return exitCode;
}
