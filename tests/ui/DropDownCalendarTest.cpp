// The drop-down month calendar under an edit box: where it opens and what it shows, choosing a day
// by keys and by a click, closing without a choice by Escape and by a press outside it.
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

#include <string>
#include <vector>

namespace {
QCalendarWidget* shownCalendar() {
    QWidget* popup = QApplication::activePopupWidget();
    return popup ? popup->findChild<QCalendarWidget*>() : nullptr;
}

// A left click on day 15 of the month shown (a day no neighbouring month shows).
void clickFifteenth() {
    auto* view = shownCalendar()->findChild<QTableView*>();
    QAbstractItemModel* model = view->model();
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->data(model->index(r, c)).toInt() == 15) {
                const QPoint at = view->visualRect(model->index(r, c)).center();
                QWidget* port = view->viewport();
                QMouseEvent press(QEvent::MouseButtonPress, at, port->mapToGlobal(at), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QMouseEvent release(QEvent::MouseButtonRelease, at, port->mapToGlobal(at), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(port, &press);
                QApplication::sendEvent(port, &release);
                return;
            }
}
} // namespace

TEST(DropDownCalendar, OpensUnderItsControlAndClosesWithOrWithoutAChosenDay) {
    StartApplication();
    TForm form(Application);
    form.SetBounds(100, 100, 400, 300);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(20, 30, 120, 21);
    auto* other = new TEdit(&form);
    other->SetParent(&form);
    other->SetBounds(20, 250, 120, 21);
    auto* cal = new TDropDownCalendar(&form);
    std::vector<std::string> log;
    cal->OnCloseUp = [&](TObject*) { log.push_back("close"); };
    cal->OnSelect = [&](TObject*, TDateTime d) { log.push_back(DateToStr(d)); };
    form.Show();
    edit->SetFocus();

    // It opens just under the edit on the day given (the time of day aside), its year texts set.
    cal->SetYearHint("Edit Year");
    cal->DropDown(edit, EncodeDate(2024, 2, 28) + 0.75);
    cal->SetYearPrompt("Enter Valid Year");
    ASSERT_TRUE(cal->DroppedDown());
    ASSERT_NE(shownCalendar(), nullptr);
    EXPECT_EQ(cal->Date(), EncodeDate(2024, 2, 28));
    EXPECT_EQ(QApplication::activePopupWidget()->frameGeometry().topLeft(),
              edit->Widget()->mapToGlobal(QPoint(0, edit->Height())));
    EXPECT_EQ(shownCalendar()->findChild<QToolButton*>("qt_calendar_yearbutton")->toolTip(), "Edit Year");
    EXPECT_EQ(shownCalendar()->findChild<QWidget*>("qt_calendar_yearedit")->toolTip(), "Enter Valid Year");

    // The keys move the day (over the leap day); Enter chooses it, the calendar closing first.
    SendKey(nullptr, VK_RIGHT);
    SendKey(nullptr, VK_RIGHT);
    SendKey(nullptr, VK_RETURN);
    EXPECT_FALSE(cal->DroppedDown());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"close", "2024/03/01"}));

    // A click on a day chooses it; Escape and a press outside choose nothing.
    log.clear();
    cal->DropDown(edit, EncodeDate(1999, 12, 31));
    clickFifteenth();
    cal->DropDown(edit, EncodeDate(1999, 12, 31));
    SendKey(nullptr, VK_LEFT);
    SendKey(nullptr, VK_ESCAPE);
    cal->DropDown(edit, EncodeDate(1999, 12, 31));
    SendClick(other, 5, 5);
    EXPECT_FALSE(cal->DroppedDown());
    cal->CloseUp();
    EXPECT_EQ(log, (std::vector<std::string>{"close", "1999/12/15", "close", "close"}));
}
