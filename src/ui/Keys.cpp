#include "ui/Keys.h"

#include <QGuiApplication>

#include <utility>

namespace {
// Keys whose platform code is not their character.
constexpr std::pair<int, Word> named[] = {
    {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB},        {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Clear, VK_CLEAR},    {Qt::Key_Return, VK_RETURN},  {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},    {Qt::Key_PageUp, VK_PRIOR},   {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},        {Qt::Key_Home, VK_HOME},      {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},          {Qt::Key_Right, VK_RIGHT},    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Select, VK_SELECT},  {Qt::Key_Print, VK_SNAPSHOT}, {Qt::Key_Execute, VK_EXECUTE},
    {Qt::Key_Insert, VK_INSERT},  {Qt::Key_Delete, VK_DELETE},  {Qt::Key_Help, VK_HELP},
    {Qt::Key_Meta, VK_LWIN},      {Qt::Key_Menu, VK_APPS},      {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL}, {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA}, {Qt::Key_Minus, VK_OEM_MINUS}, {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},    {Qt::Key_Semicolon, VK_OEM_1}, {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4}, {Qt::Key_Backslash, VK_OEM_5}, {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7}, {Qt::Key_Equal, VK_OEM_PLUS},
};
} // namespace

Word KeyFromQt(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return Word('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return Word('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return Word(VK_F1 + (qtKey - Qt::Key_F1));
    for (auto [q, vk] : named)
        if (q == qtKey)
            return vk;
    return 0;
}

int KeyToQt(Word key) {
    if (key >= '0' && key <= '9')
        return Qt::Key_0 + (key - '0');
    if (key >= 'A' && key <= 'Z')
        return Qt::Key_A + (key - 'A');
    if (key >= VK_F1 && key <= VK_F1 + 23)
        return Qt::Key_F1 + (key - VK_F1);
    for (auto [q, vk] : named)
        if (vk == key)
            return q;
    return 0;
}

TShiftState ShiftFromQt(unsigned modifiers, unsigned buttons) {
    TShiftState s;
    if (modifiers & Qt::ShiftModifier)
        s.Include(ssShift);
    if (modifiers & Qt::AltModifier)
        s.Include(ssAlt);
    if (modifiers & Qt::ControlModifier)
        s.Include(ssCtrl);
    if (buttons & Qt::LeftButton)
        s.Include(ssLeft);
    if (buttons & Qt::RightButton)
        s.Include(ssRight);
    if (buttons & Qt::MiddleButton)
        s.Include(ssMiddle);
    return s;
}

TShiftState KeyboardShiftState() {
    if (!qApp)
        return {};
    return ShiftFromQt(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons());
}
