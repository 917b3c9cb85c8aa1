// Morvane: opens the source bill named by the first argument beside the shop's customer list.
#include "app/FrmMorvane.h"
#include "framework/ui/Application.h"

int main(int argc, char** argv) {
    Application->Initialize(argc, argv);
    try {
        Application->CreateForm<TFormMorvane>();
    } catch (const std::exception& e) {
        // The window could not be built: nothing is shown but the error.
        return ShowStartupError(e);
    }
    Application->Run();
    // The window and its components go now, while the database client library is still whole; at
    // exit its own clean-up may already have run.
    delete Application->MainForm();
    return 0;
}
