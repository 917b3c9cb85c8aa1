// Painting what is pending at once, and fonts stored with a negative height.
#include "UiTest.h"

#include "ScreenPicture.h"
#include "ui/CustomControl.h"
#include "ui/Form.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {
// Records the area of every paint.
struct Probe : TCustomControl {
    using TCustomControl::TCustomControl;
    std::vector<TRect> painted;
    void Paint() override { painted.push_back(UpdateRect()); }
};
} // namespace

TEST(PendingPaint, UpdatePaintsOnlyWhatIsPendingAndAtOnce) {
    StartApplication();
    std::unique_ptr<TForm> form(new TForm(Application));
    form->SetBounds(0, 0, 300, 200);
    auto* probe = new Probe(form.get());
    probe->SetParent(form.get());
    probe->SetBounds(0, 0, 200, 100);
    form->Show();
    DeliverPaints();
    probe->painted.clear();
    // Nothing pending: nothing painted.
    probe->Update();
    EXPECT_TRUE(probe->painted.empty());
    // A cell's worth pending: that, before any event is delivered, and nothing else.
    probe->InvalidateRect(Rect(40, 20, 60, 38));
    probe->Update();
    ASSERT_EQ(probe->painted.size(), 1u);
    EXPECT_EQ(probe->painted[0], Rect(40, 20, 60, 38));
    probe->painted.clear();
    DeliverPaints();
    EXPECT_TRUE(probe->painted.empty());
    // Repaint still paints the whole control at once.
    probe->Repaint();
    ASSERT_EQ(probe->painted.size(), 1u);
    EXPECT_EQ(probe->painted[0], probe->ClientRect());
}

TEST(PendingPaint, NegativeFontHeightMeansItsAbsoluteValue) {
    StartApplication();
    TFont stored;
    stored.SetName(Ansi("細明體"));
    stored.SetCharset(CHINESEBIG5_CHARSET);
    stored.SetProperty("Height", -15);
    TCanvas c(nullptr);
    c.SetFont(stored);
    EXPECT_EQ(c.TextHeight("W"), 15);
    EXPECT_EQ(c.TextWidth("0"), 8);
    TFont positive = stored;
    positive.SetHeight(15);
    EXPECT_TRUE(stored.SameAs(positive));
}
