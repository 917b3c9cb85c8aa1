#include "UiTest.h"

#include "data/SQLConnection.h"

#include "core/Format.h"
#include "ui/Canvas.h"
#include "ui/CustomControl.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/Input.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/SpeedButton.h"

#include <QApplication>
#include <QCloseEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
std::vector<std::string>* loadedLog = nullptr;

template <class Base> class Logged : public Base {
public:
    using Base::Base;
    void Loaded() override {
        Base::Loaded();
        if (loadedLog)
            loadedLog->push_back(this->Name());
    }
};

template <class T> T* make(TComponent* owner, TWinControl* parent, const char* name, TRect bounds, TAlign align = alNone) {
    T* c = new T(owner);
    c->SetName(name);
    c->SetParent(parent);
    c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    c->SetAlign(align);
    return c;
}

// The window's three bands as its description stores them (client 821 x 539).
struct Bands {
    std::unique_ptr<TForm> form = std::make_unique<Logged<TForm>>(Application);
    TPanel *panel1, *panel2, *panel3, *panel4, *panel5, *panel6, *panel7;
    TEdit* edit;
    TLabel* label;
    TSpeedButton* button;
    TEdit *db1, *db2, *db3;
    TPanel* grid1;  // stand-ins with the grids' places and tab stops
    TPanel* grid2;

    Bands() {
        form->SetName("FormMorvane");
        form->BeginLoading();
        form->SetBounds(193, 115, 829, 573);
        panel1 = make<Logged<TPanel>>(form.get(), form.get(), "Panel1", Bounds(0, 0, 821, 39), alTop);
        label = make<Logged<TLabel>>(form.get(), panel1, "Label1", Bounds(13, 12, 64, 15));
        edit = make<Logged<TEdit>>(form.get(), panel1, "Ed_billid", Bounds(83, 8, 145, 23));
        button = make<Logged<TSpeedButton>>(form.get(), panel1, "SpeedButton1", Bounds(418, 3, 83, 33));
        panel2 = make<Logged<TPanel>>(form.get(), form.get(), "Panel2", Bounds(0, 39, 821, 459), alClient);
        panel4 = make<Logged<TPanel>>(form.get(), panel2, "Panel4", Bounds(1, 1, 416, 457), alLeft);
        panel6 = make<Logged<TPanel>>(form.get(), panel4, "Panel6", Bounds(1, 1, 414, 87), alTop);
        db1 = make<Logged<TEdit>>(form.get(), panel6, "DBEdit1", Bounds(84, 5, 154, 23));
        db2 = make<Logged<TEdit>>(form.get(), panel6, "DBEdit2", Bounds(84, 30, 154, 23));
        db3 = make<Logged<TEdit>>(form.get(), panel6, "DBEdit3", Bounds(84, 56, 250, 23));
        panel7 = make<Logged<TPanel>>(form.get(), panel4, "Panel7", Bounds(1, 88, 414, 368), alClient);
        grid1 = make<Logged<TPanel>>(form.get(), panel7, "DBGrid1", Bounds(1, 1, 412, 366), alClient);
        grid1->SetTabStop(true);
        panel5 = make<Logged<TPanel>>(form.get(), panel2, "Panel5", Bounds(417, 1, 403, 457), alClient);
        grid2 = make<Logged<TPanel>>(form.get(), panel5, "kxDBGrid1", Bounds(1, 1, 401, 455), alClient);
        grid2->SetTabStop(true);
        panel3 = make<Logged<TPanel>>(form.get(), form.get(), "Panel3", Bounds(0, 498, 821, 41), alBottom);
    }
};
} // namespace

TEST(Controls, OwnershipFreeNotificationAndChildrenGoWithTheirParent) {
    StartApplication();
    auto* form = new TForm(Application);
    auto* panel = make<TPanel>(form, form, "P", Bounds(0, 0, 100, 50));
    auto* edit = make<TEdit>(form, panel, "E", Bounds(5, 5, 50, 20));
    auto* label = make<TLabel>(form, panel, "L", Bounds(5, 30, 40, 15));
    label->SetFocusControl(edit);
    EXPECT_EQ(panel->ControlCount(), 2);
    EXPECT_EQ(form->FindComponent("e"), edit);
    EXPECT_EQ(edit->GetParentForm(), form);
    // Nothing becomes its own ancestor; the parents stay as they were.
    EXPECT_THROW(panel->SetParent(panel), EInvalidOperation);
    EXPECT_THROW(form->SetParent(panel), EInvalidOperation);
    EXPECT_EQ(panel->Parent(), form);
    EXPECT_EQ(form->Parent(), nullptr);

    delete edit;  // the label's reference is cleared, the panel and the owner forget it
    EXPECT_EQ(label->FocusControl(), nullptr);
    EXPECT_EQ(panel->ControlCount(), 1);
    std::vector<TWinControl*> tabs;
    form->GetTabOrderList(tabs);
    EXPECT_EQ(tabs, std::vector<TWinControl*>{panel});
    EXPECT_EQ(form->FindComponent("E"), nullptr);

    // A parent frees the controls inside it, whoever owns them.
    TComponent other(nullptr);
    auto* foreign = new TLabel(&other);
    foreign->SetParent(panel);
    delete panel;
    EXPECT_EQ(other.ComponentCount(), 0);
    EXPECT_EQ(form->ComponentCount(), 0);
    delete form;
}

TEST(Controls, LoadedNotificationsFollowTheDescriptionAndAlignmentWaitsForThem) {
    StartApplication();
    std::vector<std::string> log;
    loadedLog = &log;
    {
        Bands w;
        auto* conn = new Logged<TComponent>(w.form.get());
        conn->SetName("SQLConnection1");
        // Nothing is aligned while the description is applied.
        EXPECT_EQ(w.panel5->BoundsRect(), Bounds(417, 1, 403, 457));
        w.panel3->SetHeight(41);
        w.form->EndLoading();
        std::vector<std::string> expected = {"FormMorvane", "Label1",  "Ed_billid", "SpeedButton1", "Panel1",
                                             "DBEdit1",     "DBEdit2", "DBEdit3",   "Panel6",       "DBGrid1",
                                             "Panel7",      "Panel4",  "kxDBGrid1", "Panel5",       "Panel2",
                                             "Panel3",      "SQLConnection1"};
        EXPECT_EQ(log, expected);
        EXPECT_FALSE(w.panel4->Loading());
    }
    loadedLog = nullptr;
}

TEST(Controls, AlignedBandsKeepTheirSizesWhenTheWindowResizes) {
    StartApplication();
    Bands w;
    w.form->EndLoading();
    EXPECT_EQ(w.form->ClientWidth(), 821);
    EXPECT_EQ(w.form->ClientHeight(), 539);
    EXPECT_EQ(w.panel1->BoundsRect(), Bounds(0, 0, 821, 39));
    EXPECT_EQ(w.panel2->BoundsRect(), Bounds(0, 39, 821, 459));
    EXPECT_EQ(w.panel3->BoundsRect(), Bounds(0, 498, 821, 41));
    // Inside a raised one-pixel bevel the children start one pixel in.
    EXPECT_EQ(w.panel4->BoundsRect(), Bounds(1, 1, 416, 457));
    EXPECT_EQ(w.panel6->BoundsRect(), Bounds(1, 1, 414, 87));
    EXPECT_EQ(w.panel7->BoundsRect(), Bounds(1, 88, 414, 368));
    EXPECT_EQ(w.grid1->BoundsRect(), Bounds(1, 1, 412, 366));
    EXPECT_EQ(w.panel5->BoundsRect(), Bounds(417, 1, 403, 457));
    EXPECT_EQ(w.grid2->BoundsRect(), Bounds(1, 1, 401, 455));
    EXPECT_EQ(w.edit->BoundsRect(), Bounds(83, 8, 145, 23));

    w.form->SetClientWidth(1021);
    w.form->SetClientHeight(639);
    EXPECT_EQ(w.form->Width(), 1029);
    EXPECT_EQ(w.panel1->Height(), 39);
    EXPECT_EQ(w.panel3->BoundsRect(), Bounds(0, 598, 1021, 41));
    EXPECT_EQ(w.panel4->Width(), 416);
    EXPECT_EQ(w.panel5->BoundsRect(), Bounds(417, 1, 603, 557));
    EXPECT_EQ(w.panel7->Height(), 468);

    // No room left for the customer list: the bill side keeps its width.
    w.form->SetClientWidth(400);
    EXPECT_EQ(w.panel4->Width(), 416);
    EXPECT_EQ(w.panel5->Width(), 0);

    // A window the user resizes reports its new client size.
    w.form->Show();
    w.form->Widget()->resize(700, 500);
    EXPECT_EQ(w.form->ClientWidth(), 700);
    EXPECT_EQ(w.panel5->Width(), 700 - 2 - 416);
    EXPECT_EQ(w.panel3->Top(), 500 - 41);
}

TEST(Controls, TabOrderFirstFocusAndKeyboardNavigation) {
    StartApplication();
    Bands w;
    w.form->EndLoading();
    std::vector<std::string> events;
    for (TWinControl* c : std::vector<TWinControl*>{w.edit, w.db1, w.db2})
        c->OnEnter = [&events](TObject* s) { events.push_back("enter " + static_cast<TComponent*>(s)->Name()); };
    w.edit->OnExit = [&events](TObject*) { events.push_back("exit Ed_billid"); };
    EXPECT_EQ(w.edit->TabOrder(), 0);
    EXPECT_EQ(w.panel2->TabOrder(), 1);
    EXPECT_EQ(w.panel3->TabOrder(), 2);
    EXPECT_FALSE(w.edit->CanFocus());  // not before the window shows

    w.form->Show();
    EXPECT_TRUE(w.edit->Focused());
    EXPECT_EQ(w.form->ActiveControl(), w.edit);
    std::vector<TWinControl*> order;
    w.form->GetTabOrderList(order);
    std::vector<std::string> stops;
    for (TWinControl* c : order)
        if (c->TabStop())
            stops.push_back(c->Name());
    EXPECT_EQ(stops, (std::vector<std::string>{"Ed_billid", "DBEdit1", "DBEdit2", "DBEdit3", "DBGrid1", "kxDBGrid1"}));

    SendKey(w.edit, VK_TAB);
    EXPECT_TRUE(w.db1->Focused());
    w.db2->SetEnabled(false);  // skipped
    SendKey(w.db1, VK_TAB);
    EXPECT_TRUE(w.db3->Focused());
    SendKey(w.db3, VK_TAB, {ssShift});
    EXPECT_TRUE(w.db1->Focused());
    EXPECT_EQ(events, (std::vector<std::string>{"enter Ed_billid", "exit Ed_billid", "enter DBEdit1", "enter DBEdit1"}));

    // The speed button never takes the focus; a click leaves it where it is.
    int clicks = 0;
    w.button->OnClick = [&](TObject*) { ++clicks; };
    SendClick(w.button, 10, 10);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(w.db1->Focused());
    w.button->Click();
    EXPECT_EQ(clicks, 2);

    w.db1->SetVisible(false);
    try {
        w.db1->SetFocus();
        ADD_FAILURE() << "focusing a hidden control";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), "Cannot focus a disabled or invisible window");
    }
}

TEST(Controls, FormScalesToTheScreenResolutionAndTextHeight) {
    StartApplication();
    for (int ppi : {96, 120}) {
        Screen().SetPixelsPerInch(ppi);
        Bands w;
        w.form->Font()->SetName(Ansi("細明體"));
        w.form->Font()->SetHeight(15);
        w.form->SetPixelsPerInch(96);
        w.form->SetTextHeight(15);
        w.form->ApplyDesignScaling();
        w.form->EndLoading();
        TCanvas measure(nullptr);
        measure.SetFont(*w.form->Font());
        int m = measure.TextHeight("0");
        if (ppi == 96) {
            EXPECT_EQ(w.form->Font()->Height(), 15);
            EXPECT_EQ(m, 15);  // the Ming face keeps the design text height: nothing moves
            EXPECT_EQ(w.panel4->BoundsRect(), Bounds(1, 1, 416, 457));
            EXPECT_EQ(w.edit->BoundsRect(), Bounds(83, 8, 145, 23));
        } else {
            EXPECT_EQ(w.form->Font()->Height(), 19);
            EXPECT_EQ(w.edit->Font()->Height(), 19);  // the controls follow the window font
            EXPECT_EQ(w.form->ClientWidth(), MulDiv(821, m, 15));
            EXPECT_EQ(w.form->ClientHeight(), MulDiv(539, m, 15));
            EXPECT_EQ(w.panel1->Height(), MulDiv(39, m, 15));
            EXPECT_EQ(w.panel4->Width(), MulDiv(417, m, 15) - MulDiv(1, m, 15));
            EXPECT_EQ(w.edit->BoundsRect(), Rect(MulDiv(83, m, 15), MulDiv(8, m, 15), MulDiv(228, m, 15), MulDiv(31, m, 15)));
        }
    }
    Screen().SetPixelsPerInch(0);
}

TEST(Application, ExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    StartApplication();
    std::vector<std::string> boxes;
    MessageBoxHook = [&](const AnsiString& text, const AnsiString& caption, unsigned flags) {
        boxes.push_back(Format("%s|%s|%x", caption, text, flags));
        return IDOK;
    };
    auto form = std::make_unique<TForm>(Application);
    auto* button = make<TSpeedButton>(form.get(), form.get(), "B", Bounds(0, 0, 50, 30));
    std::vector<std::string> messages = {"Field 'CUST_ID' must have a value", "done.", "Stop!", Ansi("客戶")};
    size_t next = 0;
    button->OnClick = [&](TObject*) { throw EDatabaseError(messages[next++]); };
    form->Show();
    for (size_t i = 0; i < messages.size(); ++i)
        SendClick(button, 5, 5);
    button->OnClick = [&](TObject*) { Abort(); };  // silent
    SendClick(button, 5, 5);
    const std::string title = Application->Title();
    EXPECT_EQ(title, "test_ui");  // the first character keeps its case
    EXPECT_EQ(boxes, (std::vector<std::string>{title + "|Field 'CUST_ID' must have a value.|10", title + "|done.|10",
                                               title + "|Stop!|10", title + "|" + Ansi("客戶") + ".|10"}));

    // The creation handler fails the same way and the window is still built.
    boxes.clear();
    form->OnCreate = [](TObject*) { throw EDatabaseError("CDS_SaleMaster: Field 'BILL_DATE' not found"); };
    form->DoCreate();
    EXPECT_EQ(boxes, (std::vector<std::string>{title + "|CDS_SaleMaster: Field 'BILL_DATE' not found.|10"}));
    MessageBoxHook = nullptr;
}

TEST(Application, StartupFailureBoxTextAndExitCode) {
    StartApplication();
    EDatabaseError e("Unable to Load libfbclient.so.2");
    const void* at = reinterpret_cast<const void*>(0x4A1B2C);
    EXPECT_EQ(StartupErrorText(e, at), "Exception EDatabaseError in module test_ui at 00000000004A1B2C.\r\n"
                                       "Unable to Load libfbclient.so.2.\r\n");
    EXPECT_EQ(StartupErrorText(EOleException("Error loading libdsengine.so.", 1), at),
              "Exception EOleException in module test_ui at 00000000004A1B2C.\r\nError loading libdsengine.so.\r\n");
    std::string caption;
    MessageBoxHook = [&](const AnsiString&, const AnsiString& c, unsigned flags) {
        caption = c;
        EXPECT_TRUE(flags & MB_ICONSTOP);
        return IDOK;
    };
    EXPECT_EQ(ShowStartupError(e), 1);
    EXPECT_EQ(caption, "Application Error");
    MessageBoxHook = nullptr;
}

TEST(Application, MessageBoxesAnswerTheirDefaultButtonAndWriteALine) {
    StartApplication();
    EXPECT_EQ(DefaultButtonAnswer(MB_OK), IDOK);
    EXPECT_EQ(DefaultButtonAnswer(MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(DefaultButtonAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(DefaultButtonAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    setenv("MORVANE_DIALOGS", "auto", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("Delete record?", "Confirm", MB_OKCANCEL | MB_ICONQUESTION), IDOK);
    EXPECT_EQ(MessageBox(Ansi("確定"), "Kestrin", MB_YESNO | MB_DEFBUTTON2), IDNO);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Confirm: Delete record?\n"), std::string::npos);
    EXPECT_NE(err.find("Kestrin: 確定\n"), std::string::npos);
}

TEST(Controls, LabelsSizeToTheirCaptionAndFollowTheirFont) {
    StartApplication();
    auto form = std::make_unique<TForm>(Application);
    form->Font()->SetName(Ansi("細明體"));
    form->Font()->SetHeight(15);
    auto* label = make<TLabel>(form.get(), form.get(), "Label2", Bounds(-1, 8, 10, 10));
    label->SetCaption("BILL_DATE");
    EXPECT_EQ(label->BoundsRect(), Bounds(-1, 8, 72, 15));  // starts left of the client edge as stored
    label->SetCaption(Ansi("來源單號"));
    EXPECT_EQ(label->Width(), 60);  // four Ming characters of 15 pixels
    form->Font()->SetHeight(19);
    EXPECT_EQ(label->Font()->Height(), 19);
    TCanvas measure(nullptr);
    measure.SetFont(*label->Font());
    EXPECT_EQ(label->Height(), measure.TextHeight("0"));
    label->SetAutoSize(false);
    int w = label->Width();
    label->SetCaption("a much longer caption");
    EXPECT_EQ(label->Width(), w);  // no longer sized

    // A label's own font is kept when the window font changes.
    auto* own = make<TLabel>(form.get(), form.get(), "Own", Bounds(0, 40, 10, 10));
    own->Font()->SetHeight(30);
    EXPECT_FALSE(own->ParentFont());
    form->Font()->SetHeight(15);
    EXPECT_EQ(own->Font()->Height(), 30);
}

TEST(Controls, ClosingQueriesTheFormEndsTheMainLoopAndShowModalReturnsItsResult) {
    StartApplication();
    auto form = std::make_unique<TForm>(Application);
    bool allow = false;
    std::vector<std::string> events;
    form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; events.push_back("query"); };
    form->OnClose = [&](TObject*, TCloseAction& action) {
        events.push_back("close");
        EXPECT_EQ(action, caHide);
    };
    form->Show();
    form->Close();
    EXPECT_TRUE(form->Visible());
    allow = true;
    form->Close();
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(events, (std::vector<std::string>{"query", "query", "close"}));

    form->OnCloseQuery = nullptr;
    form->OnClose = nullptr;
    form->OnShow = [&](TObject*) { form->SetModalResult(mrOk); };
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(form->Visible());

    // The window system's close request (the title bar's button) goes the same way.
    form->Show();
    QCloseEvent close;
    QApplication::sendEvent(form->Widget(), &close);
    EXPECT_FALSE(form->Visible());
}

TEST(Application, HourglassWhileConnectingNestsAndEnds) {
    StartApplication();
    ASSERT_TRUE(TSQLConnection::Hourglass);
    TSQLConnection::Hourglass(true);
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    TSQLConnection::Hourglass(true);  // loading the driver inside connecting
    TSQLConnection::Hourglass(false);
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    TSQLConnection::Hourglass(false);
    EXPECT_EQ(Screen().Cursor(), crDefault);
    TSQLConnection::Hourglass(false);  // an unbalanced end changes nothing
    EXPECT_EQ(Screen().Cursor(), crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
