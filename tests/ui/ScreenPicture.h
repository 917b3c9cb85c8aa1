#pragma once
// What the window system shows of a control, for tests of partial painting: the picture on the screen
// (the window's backing store, which only the paints that happened have drawn) against the picture a
// full paint gives now. A partial paint or a moved picture that went wrong makes the two differ.
#include "ui/WinControl.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>
#include <QWindow>

// Delivers the pending paints (and whatever else is queued).
inline void DeliverPaints() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

inline QImage ScreenPicture(TWinControl* c) {
    QWidget* w = c->Widget();
    const QPoint o = w->mapTo(w->window(), QPoint(0, 0));
    return w->screen()->grabWindow(w->window()->winId(), o.x(), o.y(), w->width(), w->height()).toImage()
        .convertToFormat(QImage::Format_RGB32);
}

inline QImage FullPicture(TWinControl* c) {
    return c->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels differ between what the screen shows and what a full paint draws.
inline int StalePixels(TWinControl* c) {
    const QImage shown = ScreenPicture(c), full = FullPicture(c);
    if (shown.size() != full.size())
        return -1;
    int stale = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x)
            stale += (shown.pixel(x, y) & 0xFFFFFF) != (full.pixel(x, y) & 0xFFFFFF);
    return stale;
}
