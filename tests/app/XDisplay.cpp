// Asking a window of a real X server to close, as a window manager's close button does (the
// WM_DELETE_WINDOW message of the window manager protocol). The X library is loaded when needed, so
// the tests link nothing of X; its header gives the types only.
#include "app/XDisplay.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

bool AskWindowToClose(const std::string& display, unsigned long window) {
    void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(lib, "XOpenDisplay"));
    auto atom = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(lib, "XInternAtom"));
    auto send = reinterpret_cast<Status (*)(Display*, Window, Bool, long, XEvent*)>(dlsym(lib, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XFlush"));
    auto close = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XCloseDisplay"));
    bool sent = false;
    if (open && atom && send && flush && close) {
        if (Display* d = open(display.c_str())) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = window;
            e.xclient.message_type = atom(d, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = long(atom(d, "WM_DELETE_WINDOW", False));
            e.xclient.data.l[1] = CurrentTime;
            sent = send(d, window, False, NoEventMask, &e) != 0;
            flush(d);
            close(d);
        }
    }
    dlclose(lib);
    return sent;
}
