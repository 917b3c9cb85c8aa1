#pragma once
// A real X server for end-to-end input: what the tests need beyond xdotool.
#include <string>

// Sends the window the window manager's close request; false when the display or the X library
// cannot be reached.
bool AskWindowToClose(const std::string& display, unsigned long window);
