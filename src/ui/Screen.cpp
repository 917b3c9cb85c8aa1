#include "ui/Screen.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "ui/QtBridge.h"

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

int TScreen::PixelsPerInch() const {
    if (ppiOverride_ > 0)
        return ppiOverride_;
    if (qApp)
        if (QScreen* s = QGuiApplication::primaryScreen())
            return qRound(s->logicalDotsPerInch());
    return 96;
}

int TScreen::Width() const {
    if (qApp)
        if (QScreen* s = QGuiApplication::primaryScreen())
            return s->geometry().width();
    return 800;
}

int TScreen::Height() const {
    if (qApp)
        if (QScreen* s = QGuiApplication::primaryScreen())
            return s->geometry().height();
    return 600;
}

void TScreen::SetCursor(TCursor cursor) {
    if (cursor == cursor_)
        return;
    // One override at a time: the pointer shown is the one last set.
    if (qApp && cursor_ != crDefault)
        QApplication::restoreOverrideCursor();
    cursor_ = cursor;
    if (qApp && cursor_ != crDefault)
        QApplication::setOverrideCursor(bridge::ToQCursor(cursor_));
}
