// The drop-down month calendar: a pop-up frame around the native calendar widget, the dates between
// the two, and the ways it closes (a chosen day, Escape, a press outside it).
#include "ui/DropDownCalendar.h"

#include "ui/QtBridge.h"
#include "ui/WidgetBridge.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QFrame>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using namespace bridge;

namespace {
// Day 0 of a date-time value.
const QDate kDayZero(1899, 12, 30);

QDate toQDate(TDateTime v) {
    return kDayZero.addDays(static_cast<qint64>(std::floor(v)));
}
TDateTime fromQDate(const QDate& d) {
    return static_cast<TDateTime>(kDayZero.daysTo(d));
}

bool within(const QObject* o, const QWidget* w) {
    for (; o; o = o->parent())
        if (o == w) return true;
    return false;
}
} // namespace

struct CalendarPopup : QObject {
    TDropDownCalendar* owner;
    QFrame frame{nullptr, Qt::Popup | Qt::FramelessWindowHint};
    QCalendarWidget* calendar;

    explicit CalendarPopup(TDropDownCalendar* o) : owner(o) {
        frame.setFrameShape(QFrame::Box);
        auto* layout = new QVBoxLayout(&frame);
        layout->setContentsMargins(1, 1, 1, 1);
        calendar = new QCalendarWidget(&frame);
        calendar->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        layout->addWidget(calendar);
        frame.installEventFilter(this);
        // A click on a day chooses it; Enter (and a double click) activates it.
        QObject::connect(calendar, &QCalendarWidget::clicked, this, [this](QDate d) { choose(d); });
        QObject::connect(calendar, &QCalendarWidget::activated, this, [this](QDate d) { choose(d); });
    }

    void choose(const QDate& d) {
        Guard([&] { return owner->choose(fromQDate(d)), true; });
    }

    bool eventFilter(QObject* o, QEvent* e) override {
        switch (e->type()) {
        case QEvent::Hide:
            if (o == &frame) Guard([&] { return owner->closed(), true; });
            break;
        case QEvent::KeyPress:
            // Escape closes the calendar, unless the year box is open (Escape leaves the box then).
            if (within(o, &frame) && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
                auto* year = frame.findChild<QSpinBox*>(QStringLiteral("qt_calendar_yearedit"));
                if (!year || !year->isVisible()) {
                    frame.hide();
                    return true;
                }
            }
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // A press outside the calendar closes it; the press goes on to where it was made.
            if (o->isWidgetType() && !within(o, &frame) && frame.isVisible()) frame.hide();
            break;
        default:
            break;
        }
        return false;
    }
};

TDropDownCalendar::TDropDownCalendar(TComponent* owner) : TComponent(owner) {}

TDropDownCalendar::~TDropDownCalendar() {
    if (popup_) {
        qApp->removeEventFilter(popup_.get());
        // Closing now must not reach an owner that is going.
        OnCloseUp = nullptr;
        OnSelect = nullptr;
        droppedDown_ = false;
        popup_->frame.hide();
    }
}

void TDropDownCalendar::DropDown(TWinControl* under, TDateTime date) {
    if (!popup_) popup_ = std::make_unique<CalendarPopup>(this);
    applyYearTexts();
    QCalendarWidget* cal = popup_->calendar;
    QDate d = toQDate(date);
    if (!d.isValid() || d < cal->minimumDate() || d > cal->maximumDate()) d = QDate::currentDate();
    cal->setSelectedDate(d);
    cal->setCurrentPage(d.year(), d.month());
    QFrame& frame = popup_->frame;
    frame.adjustSize();
    QPoint at(0, 0);
    if (under) {
        under->HandleNeeded();
        if (QWidget* w = under->Widget()) at = w->mapToGlobal(QPoint(0, w->height()));
    }
    frame.move(at);

    droppedDown_ = true;
    qApp->installEventFilter(popup_.get());
    frame.show();
    frame.raise();
    frame.activateWindow();
    cal->setFocus(Qt::PopupFocusReason);
}

void TDropDownCalendar::CloseUp() {
    if (popup_ && droppedDown_) popup_->frame.hide();
}

bool TDropDownCalendar::DroppedDown() const {
    return droppedDown_;
}

TDateTime TDropDownCalendar::Date() const {
    return popup_ ? fromQDate(popup_->calendar->selectedDate()) : 0;
}

void TDropDownCalendar::SetYearHint(const AnsiString& v) {
    yearHint_ = v;
    applyYearTexts();
}

void TDropDownCalendar::SetYearPrompt(const AnsiString& v) {
    yearPrompt_ = v;
    applyYearTexts();
}

void TDropDownCalendar::applyYearTexts() {
    if (!popup_) return;
    QCalendarWidget* cal = popup_->calendar;
    if (auto* button = cal->findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton")))
        button->setToolTip(ToQString(yearHint_));
    if (auto* box = cal->findChild<QSpinBox*>(QStringLiteral("qt_calendar_yearedit"))) {
        box->setToolTip(ToQString(yearPrompt_));
        box->setAccessibleDescription(ToQString(yearPrompt_));
    }
}

void TDropDownCalendar::choose(TDateTime date) {
    if (!droppedDown_) return;
    CloseUp();
    if (OnSelect) OnSelect(this, date);
}

void TDropDownCalendar::closed() {
    if (!droppedDown_) return;
    droppedDown_ = false;
    qApp->removeEventFilter(popup_.get());
    if (OnCloseUp) OnCloseUp(this);
}
