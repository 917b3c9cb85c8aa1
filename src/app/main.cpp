// Morvane: opens the source bill named by the first argument beside the shop's customer list.
#include "app/FrmMorvane.h"
#include "grid/support/KxIntl.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    Application->Initialize(argc, argv);
    // The grid library's settings live as long as the application, before any form and after the last.
    CreateProcessIntl();
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
