// Reaching a customer far down a long list on a real X server, as a clerk does: dragging the customer
// grid's scroll-bar thumb, then the find bar (Ctrl+F, a code's start, Chinese typed through the
// keyboard, Enter for the next match, Escape back to the list). Each customer reached is ticked with
// Space and 確定 hands the ticks on, so standard output names the customers the grid landed on; the
// first tick is still pending when the find moves away from it, so it arrives only if that move posted it.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "app/XDisplay.h"
#include "grid/KxDBGrid.h"
#include "ui/Application.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <thread>

namespace {
using namespace std::chrono_literals;

// 5,000 customers C00001 ... C05000; customers 1500 and 3500 are named 張三.
const std::string kCustomers =
    "SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= 5000) DO BEGIN "
    "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID) VALUES ('C' || LPAD(:i, 5, '0'), "
    "CASE WHEN MOD(:i, 2000) = 1500 THEN '張三' || :i ELSE '客戶' || :i || '號' END, 'A'); i = i + 1; END END^\n"
    "SET TERM ; ^\n";

void mouse(QWidget* w, QEvent::Type type, QPoint p) {
    QMouseEvent e(type, p, w->mapToGlobal(p), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
} // namespace

TEST(EndToEnd, ThumbDragAndFindBarReachCustomersOnARealXServer) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    // Where the thumb is and where a drag of it lands: the same window, dragged here through Qt.
    const TestDatabase here(kCustomers);
    WriteConnectionFiles(here.Dir(), here.Path());
    QPoint from, to, confirm;
    std::string landed;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        // The program reads the rest of the list while it waits for input: here, at once.
        form.CDS_CUST->RecordCount();
        form.kxDBGrid1->SyncScrollBar();
        QScrollBar* bar = nullptr;
        for (QScrollBar* b : form.kxDBGrid1->Widget()->findChildren<QScrollBar*>())
            if (b->orientation() == Qt::Vertical) bar = b;
        ASSERT_NE(bar, nullptr);
        ASSERT_TRUE(bar->isEnabled());
        from = QPoint(bar->width() / 2, bar->width() + 3);  // on the thumb, just below the up arrow
        to = QPoint(from.x(), bar->height() * 6 / 10);
        mouse(bar, QEvent::MouseButtonPress, from);
        for (int y = from.y(); y <= to.y(); y += 20)
            mouse(bar, QEvent::MouseMove, QPoint(from.x(), y));
        mouse(bar, QEvent::MouseMove, to);
        mouse(bar, QEvent::MouseButtonRelease, to);
        landed = form.CDS_CUSTCUST_ID->AsString();
        const QPoint origin = form.Widget()->mapFromGlobal(bar->mapToGlobal(QPoint()));
        from += origin;
        to += origin;
        const TRect b = form.SpeedButton1->ClientRect();
        const TPoint p = form.SpeedButton1->ClientToScreen({b.Right / 2, b.Bottom / 2});
        const TPoint o = form.ClientToScreen({0, 0});
        confirm = QPoint(p.X - o.X, p.Y - o.Y);
    }
    ASSERT_GT(landed, "C02000");
    ASSERT_LT(landed, "C03400");

    const TestDatabase shop(kCustomers);
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    XProgram program(x, {"S0607240001"});
    ASSERT_FALSE(program.window.empty()) << program.Errors();
    const std::string& w = program.window;
    std::this_thread::sleep_for(2s);  // the rest of the list read while the window waits for input
    auto key = [&](const std::string& k) {
        Xdo(x, {"key", "--window", w, k});
        std::this_thread::sleep_for(150ms);
    };
    Xdo(x, {"mousemove", "--window", w, std::to_string(from.x()), std::to_string(from.y()), "mousedown", "1"});
    for (int y = from.y(); y <= to.y(); y += 20)
        Xdo(x, {"mousemove", "--window", w, std::to_string(to.x()), std::to_string(y)});
    Xdo(x, {"mousemove", "--window", w, std::to_string(to.x()), std::to_string(to.y()), "mouseup", "1"});
    key("space");  // ticks the customer the thumb named; the tick stays pending
    key("ctrl+f");
    Xdo(x, {"type", "--window", w, "C0421"});
    key("Escape");
    key("space");
    key("ctrl+f");
    Xdo(x, {"type", "--window", w, "張三"});  // from C04210 on, wrapping: 張三1500
    key("Return");                              // the next match: 張三3500
    key("Escape");
    key("space");
    key("ctrl+f");
    Xdo(x, {"type", "--window", w, "#nothing#"});  // found nowhere: the record stays
    key("Escape");
    Xdo(x, {"mousemove", "--window", w, std::to_string(confirm.x()), std::to_string(confirm.y()), "click", "1"});
    program.WaitForOutput("\n\n");
    EXPECT_EQ(program.Close(), 0) << program.Errors();
    const std::string expected = landed + "\t客戶" + std::to_string(std::stoi(landed.substr(1))) + "號\n" +
                                 "C03500\t張三3500\nC04210\t客戶4210號\n\n";
    EXPECT_EQ(program.Output(), expected) << program.Errors();
}
