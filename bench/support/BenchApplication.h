#pragma once
// Starts the application for a benchmark: on the offscreen platform unless the environment names a
// display or a platform.
#include "ui/Application.h"

#include <cstdlib>

// `name` is the program's name for the application (a literal: the platform keeps it).
inline void StartBenchApplication(const char* name) {
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static char* args[] = {nullptr, nullptr};
    args[0] = const_cast<char*>(name);
    Application->Initialize(1, args);
}
