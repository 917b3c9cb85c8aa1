#pragma once
// Input sent through the window system's own path (the application's key filter, the window's
// event handling), as a user's keys and mouse would arrive. Tests and automation drive windows
// with these instead of calling control operations directly.
#include "ui/Keys.h"

#include <string>

class TControl;
class TWinControl;

enum class TMouseAction { Down, Up, Move, DoubleClick };

// A key down and up to the control's window (null: to the window with the focus). The typed text is
// that of the key with the shift state (letters, digits, space, Enter, Escape, Tab, Backspace,
// Ctrl+letter, Ctrl+Enter as a line feed), unless `text` (code page) is given.
void SendKey(TWinControl* target, Word key, TShiftState shift = {}, const char* text = nullptr);
// Text committed by an input method (Chinese, for instance) to the control's window.
void SendText(TWinControl* target, const AnsiString& text);
// An input method's event to the control's window (null: the window with the focus): the
// composition it shows now and the text it commits, both UTF-8, so that characters the code page
// lacks can come too. An empty composition ends the one shown.
void SendInputMethod(TWinControl* target, const std::string& compositionUtf8, const std::string& commitUtf8);
// A mouse event at a point of the control's client area (a windowless control's through its parent).
void SendMouse(TControl* target, TMouseAction action, TMouseButton button, TShiftState shift, int x, int y);
// The pointer leaving the control's window.
void SendMouseLeave(TWinControl* target);
// A click: press and release of the left button.
void SendClick(TControl* target, int x, int y, TShiftState shift = {});
// A turn of the wheel over the control (120 per notch, negative towards the user).
void SendWheel(TWinControl* target, int delta, TShiftState shift = {});
