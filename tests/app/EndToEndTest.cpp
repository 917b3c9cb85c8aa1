// The real program on a real X server (Xvfb), driven with xdotool as a clerk drives it: two
// customers ticked with a click each, a third with Down and Space, 確定 clicked, the window closed.
// The program that started the tool must find the selection block on standard output, and the
// program must end with code 0.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "app/XDisplay.h"
#include "core/SysUtils.h"
#include "grid/KxGridDataLink.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

namespace {
struct Spot {
    int x, y;
};
} // namespace

TEST(EndToEnd, TicksConfirmedOnARealXServerReachStandardOutput) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb and xdotool come with scripts/setup.sh";
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());

    // Where the boxes and the button are, and what the rows hold: the same window built here.
    Spot boxes[2], confirm;
    std::string expected;
    {
        StartApplication();
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        auto spot = [&](TControl* c, TRect r) {
            const TPoint p = c->ClientToScreen({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
            const TPoint o = form.ClientToScreen({0, 0});
            return Spot{p.X - o.X, p.Y - o.Y};
        };
        boxes[0] = spot(g, g->CellRect(1, 2));
        boxes[1] = spot(g, g->CellRect(1, 4));
        confirm = spot(form.SpeedButton1, form.SpeedButton1->ClientRect());
        for (int row : {2, 4, 5}) {
            TActiveRecordScope scope(g->DataLink(), row - 1);
            expected += codepage::ToUtf8(form.CDS_CUSTCUST_ID->AsString()) + "\t" +
                        codepage::ToUtf8(form.CDS_CUSTCUST_NAME->AsString()) + "\n";
        }
        expected += "\n";
    }

    // The program gets a database of its own: the one above stays open in this process for a while.
    const TestDatabase shop(ReadDbFile("demo.sql"));
    WriteConnectionFiles(shop.Dir(), shop.Path());
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "no X server could be started";
    XProgram program(x, {"S0607240001"});
    ASSERT_FALSE(program.window.empty()) << program.Errors();
    const std::string& window = program.window;

    for (const Spot& s : boxes)
        Xdo(x, {"mousemove", "--window", window, std::to_string(s.x), std::to_string(s.y), "click", "1"});
    Xdo(x, {"key", "--window", window, "Down"});
    Xdo(x, {"key", "--window", window, "space"});
    Xdo(x, {"mousemove", "--window", window, std::to_string(confirm.x), std::to_string(confirm.y), "click",
            "1"});
    // The block is closed by an empty line.
    program.WaitForOutput("\n\n");
    const int code = program.Close();
    EXPECT_EQ(code, 0) << program.Errors();
    EXPECT_EQ(program.Output(), expected) << program.Errors();
}
