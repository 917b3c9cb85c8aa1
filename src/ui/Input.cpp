#include "ui/Input.h"

#include "ui/QtBridge.h"
#include "ui/WinControl.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

using namespace bridge;

namespace {
Qt::KeyboardModifiers modifiersOf(TShiftState s) {
    Qt::KeyboardModifiers m;
    if (s.Contains(ssShift))
        m |= Qt::ShiftModifier;
    if (s.Contains(ssCtrl))
        m |= Qt::ControlModifier;
    if (s.Contains(ssAlt))
        m |= Qt::AltModifier;
    return m;
}

QString textOf(Word key, TShiftState shift) {
    if (shift.Contains(ssAlt))
        return {};
    if (key >= 'A' && key <= 'Z') {
        if (shift.Contains(ssCtrl))
            return QString(QChar(key - 'A' + 1));
        return QString(QChar(shift.Contains(ssShift) ? key : key + 32));
    }
    if (shift.Contains(ssCtrl))
        return key == VK_RETURN ? QStringLiteral("\n") : QString();
    if (key >= '0' && key <= '9')
        return QString(QChar(key));
    switch (key) {
    case VK_SPACE:
        return QStringLiteral(" ");
    case VK_RETURN:
        return QStringLiteral("\r");
    case VK_ESCAPE:
        return QString(QChar(27));
    case VK_TAB:
        return QStringLiteral("\t");
    case VK_BACK:
        return QString(QChar(8));
    default:
        return {};
    }
}

QWidget* widgetFor(TWinControl* target) {
    if (!target)
        return QApplication::focusWidget();
    target->HandleNeeded();
    return target->Widget();
}
} // namespace

void SendKey(TWinControl* target, Word key, TShiftState shift, const char* text) {
    QWidget* w = widgetFor(target);
    if (!w)
        return;
    int qtKey = KeyToQt(key);
    if (key == VK_TAB && shift.Contains(ssShift))
        qtKey = Qt::Key_Backtab;
    QString t = text ? ToQString(text) : textOf(key, shift);
    QKeyEvent down(QEvent::KeyPress, qtKey, modifiersOf(shift), t);
    QApplication::sendEvent(w, &down);
    // The key goes up where the focus is now.
    QWidget* now = target ? widgetFor(target) : QApplication::focusWidget();
    if (!now)
        return;
    QKeyEvent up(QEvent::KeyRelease, qtKey, modifiersOf(shift), t);
    QApplication::sendEvent(now, &up);
}

void SendText(TWinControl* target, const AnsiString& text) {
    QWidget* w = widgetFor(target);
    if (!w)
        return;
    QInputMethodEvent e;
    e.setCommitString(ToQString(text));
    QApplication::sendEvent(w, &e);
}

void SendInputMethod(TWinControl* target, const std::string& compositionUtf8, const std::string& commitUtf8) {
    QWidget* w = widgetFor(target);
    if (!w)
        return;
    const QString composition = QString::fromStdString(compositionUtf8);
    QList<QInputMethodEvent::Attribute> attributes;
    attributes.append({QInputMethodEvent::Cursor, int(composition.size()), 1, QVariant()});
    QInputMethodEvent e(composition, attributes);
    e.setCommitString(QString::fromStdString(commitUtf8));
    QApplication::sendEvent(w, &e);
}

void SendMouse(TControl* target, TMouseAction action, TMouseButton button, TShiftState shift, int x, int y) {
    TWinControl* win = dynamic_cast<TWinControl*>(target);
    if (!win) {
        x += target->Left();
        y += target->Top();
        win = target->Parent();
    }
    if (!win)
        return;
    win->HandleNeeded();
    if (win->Ctl3DBorder())
        x += 2, y += 2;
    Qt::MouseButton b = button == mbRight ? Qt::RightButton : button == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
    Qt::MouseButtons held;
    if (shift.Contains(ssLeft))
        held |= Qt::LeftButton;
    if (shift.Contains(ssRight))
        held |= Qt::RightButton;
    if (shift.Contains(ssMiddle))
        held |= Qt::MiddleButton;
    QEvent::Type type = QEvent::MouseMove;
    switch (action) {
    case TMouseAction::Down:
        type = QEvent::MouseButtonPress;
        held |= b;
        break;
    case TMouseAction::DoubleClick:
        type = QEvent::MouseButtonDblClick;
        held |= b;
        break;
    case TMouseAction::Up:
        type = QEvent::MouseButtonRelease;
        held &= ~Qt::MouseButtons(b);
        break;
    case TMouseAction::Move:
        b = Qt::NoButton;
        break;
    }
    QWidget* w = win->Widget();
    QPointF local(x, y);
    QMouseEvent e(type, local, w->mapToGlobal(local), b, held, modifiersOf(shift));
    QApplication::sendEvent(w, &e);
}

void SendMouseLeave(TWinControl* target) {
    target->HandleNeeded();
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(target->Widget(), &e);
}

void SendClick(TControl* target, int x, int y, TShiftState shift) {
    SendMouse(target, TMouseAction::Down, mbLeft, shift, x, y);
    SendMouse(target, TMouseAction::Up, mbLeft, shift, x, y);
}

void SendWheel(TWinControl* target, int delta, TShiftState shift) {
    QWidget* w = widgetFor(target);
    if (!w)
        return;
    QPointF local(w->width() / 2, w->height() / 2);
    QWheelEvent e(local, w->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, modifiersOf(shift),
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
