#pragma once
// Shared start of the window tests: the application exists once, on the offscreen platform.
#include "ui/Application.h"

inline void StartApplication() {
    static char arg0[] = "test_ui";
    static char* argv[] = {arg0, nullptr};
    Application->Initialize(1, argv);
}
