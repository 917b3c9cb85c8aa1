// Morvane: opens the source bill named by the first argument beside the shop's customer list.
#include "app/FrmMorvane.h"
#include "grid/KxGridState.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    Application->Initialize(argc, argv);
    int exitCode = 0;
    try {
        TFormMorvane* form = Application->CreateForm<TFormMorvane>();
        // The customer grid as the state file shows it to a calling program.
        Application->AddStateSection("kxDBGrid1", [form] { return GridStateJson(*form->kxDBGrid1); });
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
