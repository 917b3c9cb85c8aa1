// The drop-down month calendar under an edit box: where it opens and what it shows, choosing a day
// by keys and by a click, and closing without a choice by Escape and by a press outside it.
#include "UiTest.h"

#include "ui/DropDownCalendar.h"
#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/Input.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCalendarWidget>
#include <QMouseEvent>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
struct CalendarHarness {
    std::unique_ptr<TForm> form;
    TEdit* edit = nullptr;
    TEdit* other = nullptr;
    TDropDownCalendar* calendar = nullptr;
    std::vector<std::string> log;

    CalendarHarness() {
        StartApplication();
        form = std::make_unique<TForm>(Application);
        form->SetBounds(100, 100, 400, 300);
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(20, 30, 120, 21);
        other = new TEdit(form.get());
        other->SetParent(form.get());
        other->SetBounds(20, 250, 120, 21);
        calendar = new TDropDownCalendar(form.get());
        calendar->OnCloseUp = [this](TObject*) { log.push_back("close"); };
        calendar->OnSelect = [this](TObject*, TDateTime d) {
            int y, m, dd;
            DecodeDate(d, y, m, dd);
            log.push_back("select " + std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(dd));
        };
        form->Show();
        edit->SetFocus();
    }

    QCalendarWidget* widget() const {
        QWidget* popup = QApplication::activePopupWidget();
        return popup ? popup->findChild<QCalendarWidget*>() : nullptr;
    }

    // A left click on day `day` of the month the calendar shows.
    void clickDay(int day) {
        auto* view = widget()->findChild<QTableView*>();
        ASSERT_NE(view, nullptr);
        QAbstractItemModel* model = view->model();
        for (int r = 0; r < model->rowCount(); ++r)
            for (int c = 0; c < model->columnCount(); ++c) {
                const QModelIndex i = model->index(r, c);
                // Days of the neighbouring months fill the first and last rows.
                if (model->data(i).toInt() != day || (day < 20 && r > 3) || (day > 10 && r < 2)) continue;
                const QPoint at = view->visualRect(i).center();
                QWidget* port = view->viewport();
                QMouseEvent press(QEvent::MouseButtonPress, at, port->mapToGlobal(at), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(port, &press);
                QMouseEvent release(QEvent::MouseButtonRelease, at, port->mapToGlobal(at), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(port, &release);
                return;
            }
        ADD_FAILURE() << "no day " << day;
    }
};
} // namespace

TEST(DropDownCalendar, OpensUnderItsControlOnTheDateAndEnterChoosesTheDay) {
    CalendarHarness h;
    TDropDownCalendar* cal = h.calendar;
    EXPECT_FALSE(cal->DroppedDown());
    // The time of day plays no part in the day shown.
    cal->DropDown(h.edit, EncodeDate(2024, 2, 28) + 0.75);
    ASSERT_TRUE(cal->DroppedDown());
    ASSERT_NE(h.widget(), nullptr);
    EXPECT_EQ(cal->Date(), EncodeDate(2024, 2, 28));
    EXPECT_EQ(h.widget()->selectedDate(), QDate(2024, 2, 28));
    const QPoint under = h.edit->Widget()->mapToGlobal(QPoint(0, h.edit->Height()));
    EXPECT_EQ(QApplication::activePopupWidget()->frameGeometry().topLeft(), under);

    // The keys move the day (into the leap day, then March), Enter chooses it and closes first.
    SendKey(nullptr, VK_RIGHT);
    SendKey(nullptr, VK_RIGHT);
    EXPECT_EQ(cal->Date(), EncodeDate(2024, 3, 1));
    EXPECT_TRUE(h.log.empty());
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(cal->DroppedDown());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(h.log, (std::vector<std::string>{"close", "select 2024-3-1"}));
}

TEST(DropDownCalendar, AClickOnADayChoosesItAndEscapeOrAPressOutsideChoosesNothing) {
    CalendarHarness h;
    TDropDownCalendar* cal = h.calendar;
    cal->DropDown(h.edit, EncodeDate(1999, 12, 31));
    h.clickDay(15);
    EXPECT_FALSE(cal->DroppedDown());
    EXPECT_EQ(h.log, (std::vector<std::string>{"close", "select 1999-12-15"}));

    h.log.clear();
    cal->DropDown(h.edit, EncodeDate(1999, 12, 31));
    SendKey(nullptr, VK_LEFT);
    SendKey(nullptr, VK_ESCAPE);
    EXPECT_FALSE(cal->DroppedDown());
    EXPECT_EQ(h.log, (std::vector<std::string>{"close"}));

    h.log.clear();
    cal->DropDown(h.edit, EncodeDate(1999, 12, 31));
    SendClick(h.other, 5, 5);
    EXPECT_FALSE(cal->DroppedDown());
    EXPECT_EQ(h.log, (std::vector<std::string>{"close"}));
    // Closing a closed calendar does nothing.
    cal->CloseUp();
    EXPECT_EQ(h.log, (std::vector<std::string>{"close"}));
}

TEST(DropDownCalendar, TheYearButtonAndBoxCarryTheOwnersTexts) {
    CalendarHarness h;
    h.calendar->SetYearHint("Edit Year");
    h.calendar->DropDown(h.edit, EncodeDate(2024, 1, 1));
    h.calendar->SetYearPrompt("Enter Valid Year");
    auto* button = h.widget()->findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Edit Year"));
    auto* box = h.widget()->findChild<QWidget*>(QStringLiteral("qt_calendar_yearedit"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->toolTip(), QStringLiteral("Enter Valid Year"));
    h.calendar->CloseUp();
}
