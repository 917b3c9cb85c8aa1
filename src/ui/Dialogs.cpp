#include "ui/Dialogs.h"

#include "ui/Application.h"
#include "ui/QtBridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace bridge;

std::function<int(const AnsiString&, const AnsiString&, unsigned)> MessageBoxHook;
std::function<void()> MessageBeepHook;

namespace {
std::vector<int> buttonsOf(unsigned flags) {
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

QMessageBox::StandardButton standardOf(int id) {
    switch (id) {
    case IDCANCEL:
        return QMessageBox::Cancel;
    case IDABORT:
        return QMessageBox::Abort;
    case IDRETRY:
        return QMessageBox::Retry;
    case IDIGNORE:
        return QMessageBox::Ignore;
    case IDYES:
        return QMessageBox::Yes;
    case IDNO:
        return QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}
// Keys a box ignores while it is open: a held key's repeats (a key held when the box came up never
// answers it, and so never opens the next box), and, in a box without Cancel, Escape and the
// window's close request, as the platform's Yes/No box has no way out but its buttons.
class BoxKeys : public QObject {
public:
    BoxKeys(QMessageBox* box, bool cancellable) : box_(box), cancellable_(cancellable) {}
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || (w != box_ && !box_->isAncestorOf(w)))
            return false;
        // The window system's close request only: an answered box closes itself too.
        if (e->type() == QEvent::Close && e->spontaneous() && w == box_ && !cancellable_) {
            e->ignore();
            return true;
        }
        if (e->type() != QEvent::KeyPress)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        return k->isAutoRepeat() || (!cancellable_ && k->key() == Qt::Key_Escape);
    }

private:
    QMessageBox* box_;
    bool cancellable_;
};
} // namespace

int DefaultButtonAnswer(unsigned flags) {
    std::vector<int> buttons = buttonsOf(flags);
    size_t index = (flags >> 8) & 0xF;
    return buttons[index < buttons.size() ? index : 0];
}

int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags) {
    std::string line = codepage::ToUtf8(caption) + ": " + codepage::ToUtf8(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    if (MessageBoxHook)
        return MessageBoxHook(text, caption, flags);
    const char* mode = std::getenv("MORVANE_DIALOGS");
    if ((mode && std::strcmp(mode, "auto") == 0) || !qApp)
        return DefaultButtonAnswer(flags);
    QMessageBox box;
    box.setWindowTitle(ToQString(caption));
    box.setText(ToQString(text));
    switch (flags & 0xF0) {
    case MB_ICONSTOP:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    std::vector<int> ids = buttonsOf(flags);
    for (int id : ids)
        box.addButton(standardOf(id));
    box.setDefaultButton(standardOf(DefaultButtonAnswer(flags)));
    const bool cancellable = std::find(ids.begin(), ids.end(), int(IDCANCEL)) != ids.end() || ids.size() == 1;
    BoxKeys keys(&box, cancellable);
    qApp->installEventFilter(&keys);
    box.exec();
    qApp->removeEventFilter(&keys);
    for (int id : ids)
        if (box.clickedButton() == box.button(standardOf(id)))
            return id;
    // Closed without a button: Cancel where there is one, else the default.
    for (int id : ids)
        if (id == IDCANCEL)
            return id;
    return DefaultButtonAnswer(flags);
}

void ShowMessage(const AnsiString& text) { MessageBox(text, Application->Title(), MB_OK); }

void MessageBeep() {
    if (MessageBeepHook)
        MessageBeepHook();
    else if (qApp)
        QApplication::beep();
}

std::function<bool(const AnsiString&)> ShellOpenHook;

bool ShellOpen(const AnsiString& link) {
    if (ShellOpenHook)
        return ShellOpenHook(link);
    return qApp && QDesktopServices::openUrl(QUrl::fromUserInput(ToQString(link)));
}
