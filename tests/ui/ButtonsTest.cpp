// Push buttons, the form's cancel button and modal results, and the multi-line memo box.
#include "UiTest.h"

#include "ui/Buttons.h"
#include "ui/Clipboard.h"
#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
template <class T> T* place(TForm* form, TRect bounds) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    return c;
}

struct HookScope {
    explicit HookScope(std::function<void(TForm*)> hook) { ModalFormHook = std::move(hook); }
    ~HookScope() { ModalFormHook = nullptr; }
};
} // namespace

TEST(Buttons, ClicksSpaceEnterAndEscapeGiveTheModalResult) {
    StartApplication();
    auto form = std::make_unique<TForm>(Application);
    auto* edit = place<TEdit>(form.get(), Bounds(8, 8, 100, 21));
    auto* ok = place<TButton>(form.get(), Bounds(8, 40, 75, 25));
    auto* cancel = place<TBitBtn>(form.get(), Bounds(90, 40, 75, 25));
    ok->SetCaption("&OK");
    ok->SetModalResult(mrOk);
    cancel->SetCaption("Cancel");
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    int clicks = 0;
    ok->OnClick = [&](TObject*) { ++clicks; };
    form->Show();

    SendClick(ok, 10, 10);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form->ModalResult(), mrOk);
    EXPECT_TRUE(ok->Focused()); // a press takes the focus
    form->SetModalResult(mrNone);
    SendKey(ok, VK_SPACE);
    SendKey(ok, VK_RETURN);
    EXPECT_EQ(clicks, 3);
    // A release away from the button is no click.
    SendMouse(ok, TMouseAction::Down, mbLeft, {}, 10, 10);
    EXPECT_TRUE(ok->Pressed());
    SendMouse(ok, TMouseAction::Move, mbLeft, {}, 200, 10);
    EXPECT_FALSE(ok->Pressed());
    SendMouse(ok, TMouseAction::Up, mbLeft, {}, 200, 10);
    EXPECT_EQ(clicks, 3);

    // Escape in the edit presses the cancel button; a disabled one does not answer.
    form->SetModalResult(mrNone);
    edit->SetFocus();
    SendKey(edit, VK_ESCAPE);
    EXPECT_EQ(form->ModalResult(), mrCancel);
    form->SetModalResult(mrNone);
    cancel->SetEnabled(false);
    SendKey(edit, VK_ESCAPE);
    EXPECT_EQ(form->ModalResult(), mrNone);
}

TEST(Buttons, StandardGlyphsHoldAnUpAndADisabledImage) {
    StartApplication();
    TBitBtn b(nullptr);
    EXPECT_TRUE(b.Glyph()->Empty());
    for (TBitBtnKind kind : {bkOK, bkCancel, bkHelp}) {
        b.SetKind(kind);
        EXPECT_EQ(b.NumGlyphs(), 2);
        ASSERT_EQ(b.Glyph()->Width(), 32);
        // Each image shows something besides its transparent colour.
        const TColor key = b.Glyph()->TransparentColor();
        for (int image = 0; image < 2; ++image) {
            int drawn = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    drawn += b.Glyph()->Pixel(image * 16 + x, y) != key;
            EXPECT_GT(drawn, 10) << kind << " " << image;
        }
    }
}

TEST(Buttons, AModalFormClosesOnlyWhenItsCloseQueryAgrees) {
    StartApplication();
    auto form = std::make_unique<TForm>(Application);
    auto* ok = place<TButton>(form.get(), Bounds(8, 8, 75, 25));
    ok->SetModalResult(mrOk);
    int queries = 0;
    form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++queries > 1; };
    int turns = 0;
    {
        HookScope hook([&](TForm* f) {
            EXPECT_EQ(f, form.get());
            ++turns;
            if (turns <= 2) ok->Click();
        });
        EXPECT_EQ(form->ShowModal(), mrOk);
    }
    EXPECT_EQ(queries, 2); // the first click was refused and the form stayed
    EXPECT_EQ(turns, 2);
    EXPECT_FALSE(form->Visible());
    // Nobody to answer (MORVANE_DIALOGS=auto, no hook): the form goes at once as cancelled.
    form->OnCloseQuery = nullptr;
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_FALSE(form->Visible());
}

TEST(Memo, LineBreaksArePartOfTheTextAndKeepTheirStyle) {
    StartApplication();
    auto form = std::make_unique<TForm>(Application);
    auto* memo = place<TMemo>(form.get(), Bounds(8, 8, 200, 100));
    memo->SetAutoSelect(false);
    memo->SetText("one\r\ntwo");
    form->Show();
    memo->SetFocus();
    EXPECT_EQ(memo->GetText(), "one\r\ntwo");
    EXPECT_FALSE(memo->Modified());
    memo->SetSelStart(int(memo->GetText().size()));
    SendKey(memo, VK_RETURN);
    SendText(memo, Ansi("三"));
    EXPECT_EQ(memo->GetText(), Ansi("one\r\ntwo\r\n三"));
    EXPECT_TRUE(memo->Modified());
    // Enter stays in the box: the form's buttons do not hear it.
    int clicks = 0;
    auto* ok = place<TButton>(form.get(), Bounds(8, 120, 75, 25));
    ok->OnClick = [&](TObject*) { ++clicks; };
    SendKey(memo, VK_RETURN);
    EXPECT_EQ(clicks, 0);

    // A text with "\n" breaks keeps them; pasted lines come in whole.
    memo->SetText("a\nb");
    memo->SetSelStart(3);
    Clipboard().SetAsText("x\r\ny");
    memo->PasteFromClipboard();
    EXPECT_EQ(memo->GetText(), "a\nbx\ny");
    // A one-line edit still refuses breaks.
    auto* edit = place<TEdit>(form.get(), Bounds(8, 150, 100, 21));
    edit->SetFocus();
    SendKey(edit, VK_RETURN);
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->GetText(), "x");
}
