#pragma once
// Message boxes as the platform's MessageBox: a caption, a text, an icon and a set of buttons,
// answering the button chosen. Every box also writes one line "caption: text" to standard error.
// With MORVANE_DIALOGS=auto a box answers its default button at once; MessageBoxHook, when set,
// answers instead of the user (tests choose the other button with it).
#include "core/AnsiString.h"

#include <functional>

enum : unsigned {
    MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10, MB_ICONSTOP = 0x10, MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40, MB_ICONASTERISK = 0x40,
    MB_DEFBUTTON1 = 0x0, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200, MB_APPLMODAL = 0x0, MB_SYSTEMMODAL = 0x1000,
    MB_TASKMODAL = 0x2000
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags);
// A box with the application's title as caption and an OK button.
void ShowMessage(const AnsiString& text);
// The default button's answer of a box with these flags.
int DefaultButtonAnswer(unsigned flags);

extern std::function<int(const AnsiString& text, const AnsiString& caption, unsigned flags)> MessageBoxHook;

// The platform's beep; MessageBeepHook, when set, hears it instead (tests count beeps with it).
void MessageBeep();
extern std::function<void()> MessageBeepHook;
// Opens a link or document with the desktop's handler (the shell's "OPEN" verb); true on success.
bool ShellOpen(const AnsiString& link);
// When set, answers instead of the desktop's handler (tests see the link that would be opened).
extern std::function<bool(const AnsiString& link)> ShellOpenHook;
