#include "UiTest.h"

#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/VectorDataSet.h"
#include "support/DataChain.h"
#include "support/FirebirdDb.h"
#include "ui/Bitmap.h"
#include "ui/Clipboard.h"
#include "ui/CustomControl.h"
#include "ui/DBEdit.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/Input.h"
#include "ui/Label.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {
// A self-painting control that writes down what reaches it.
class Probe : public TCustomControl {
public:
    explicit Probe(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
    std::vector<std::string> log;
    TEdit* editor = nullptr;  // an in-place editor the first typed byte moves to
    int DialogCode() const override { return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS; }
    void KeyDown(Word& key, TShiftState shift) override {
        log.push_back("down " + std::to_string(key) + (shift.Contains(ssCtrl) ? " ctrl" : "") +
                      (shift.Contains(ssShift) ? " shift" : ""));
        TCustomControl::KeyDown(key, shift);
    }
    void KeyPress(char& key) override {
        log.push_back("char " + std::to_string(static_cast<unsigned char>(key)));
        if (editor) {
            editor->SetFocus();
            editor->DispatchChar(key);
            key = 0;
        }
    }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        log.push_back("mousedown " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y) +
                      (s.Contains(ssDouble) ? " double" : "") + (s.Contains(ssLeft) ? " left" : ""));
        TCustomControl::MouseDown(b, s, x, y);
    }
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
        log.push_back("mouseup " + std::to_string(x) + "," + std::to_string(y));
        TCustomControl::MouseUp(b, s, x, y);
    }
    void Click() override { log.push_back("click"); }
    void DblClick() override { log.push_back("dblclick"); }
    void WMTimer(int id) override { log.push_back("timer " + std::to_string(id)); }
    void WMVScroll(int code, int pos) override {
        log.push_back("vscroll " + std::to_string(code) + " " + std::to_string(pos));
        SetScrollPos(sbVertical, pos);
    }
    void WMSetFocus() override { log.push_back("setfocus"); }
    void WMKillFocus() override { log.push_back("killfocus"); }
    bool DoMouseWheelDown(TShiftState, TPoint) override { return log.push_back("wheel down"), true; }
    bool DoMouseWheelUp(TShiftState, TPoint) override { return log.push_back("wheel up"), true; }
    void Paint() override {
        Canvas()->Brush()->SetColor(clRed);
        Canvas()->FillRect(Rect(0, 0, 4, 4));
    }
};

struct Window {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(Application);
    Probe* probe;
    TEdit* edit;
    Window() {
        form->SetBounds(0, 0, 400, 300);
        probe = new Probe(form.get());
        probe->SetName("Probe");
        probe->SetParent(form.get());
        probe->SetBounds(10, 10, 200, 100);
        edit = new TEdit(form.get());
        edit->SetName("Edit1");
        edit->SetParent(form.get());
        edit->SetBounds(10, 150, 120, 23);
        form->Show();
        probe->SetFocus();
        probe->log.clear();
    }
};

std::vector<std::string> only(const std::vector<std::string>& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : log)
        if (l.rfind(prefix, 0) == 0)
            out.push_back(l);
    return out;
}
} // namespace

TEST(Keys, QtKeysMapOnceToThePlatformCodes) {
    const std::pair<int, Word> pairs[] = {
        {Qt::Key_Up, VK_UP},          {Qt::Key_Down, VK_DOWN},    {Qt::Key_Left, VK_LEFT},  {Qt::Key_Right, VK_RIGHT},
        {Qt::Key_Tab, VK_TAB},        {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN},
        {Qt::Key_Escape, VK_ESCAPE},  {Qt::Key_F2, VK_F2},        {Qt::Key_Delete, VK_DELETE},
        {Qt::Key_Insert, VK_INSERT},  {Qt::Key_Space, VK_SPACE},  {Qt::Key_PageUp, VK_PRIOR},
        {Qt::Key_PageDown, VK_NEXT},  {Qt::Key_Home, VK_HOME},    {Qt::Key_End, VK_END},
        {Qt::Key_A, 'A'},             {Qt::Key_Z, 'Z'},           {Qt::Key_0, '0'},         {Qt::Key_9, '9'},
        {Qt::Key_Backspace, VK_BACK}, {Qt::Key_F12, VK_F12}};
    for (auto [q, vk] : pairs)
        EXPECT_EQ(KeyFromQt(q), vk) << q;
    EXPECT_EQ(KeyToQt(VK_PRIOR), Qt::Key_PageUp);
    EXPECT_EQ(KeyToQt('Q'), Qt::Key_Q);
    EXPECT_EQ(KeyFromQt(Qt::Key_Backtab), VK_TAB);
    EXPECT_EQ(KeyFromQt(Qt::Key_VolumeUp), 0);
    TShiftState s = ShiftFromQt(Qt::ShiftModifier | Qt::ControlModifier, Qt::LeftButton | Qt::MiddleButton);
    EXPECT_EQ(s, (TShiftState{ssShift, ssCtrl, ssLeft, ssMiddle}));
    EXPECT_EQ(TShiftState::FromBits(s.Bits()), s);
}

TEST(Input, KeysCharactersAndTheApplicationKeyHook) {
    StartApplication();
    Window w;
    SendKey(w.probe, VK_DOWN);
    SendKey(w.probe, 'A');
    SendKey(w.probe, 'A', {ssShift});
    SendKey(w.probe, 'C', {ssCtrl});
    SendKey(w.probe, VK_TAB);  // the control wants Tab: no navigation
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"down 40", "down 65", "char 97", "down 65 shift", "char 65",
                                                      "down 67 ctrl", "char 3", "down 9", "char 9"}));
    EXPECT_TRUE(w.probe->Focused());

    // The hook sees the key first and may take it.
    w.probe->log.clear();
    std::vector<std::string> seen;
    int id = Application->AddKeyHook([&](TWinControl* target, Word key, TShiftState) {
        seen.push_back(target->Name() + " " + std::to_string(key));
        return key == VK_DOWN;
    });
    SendKey(w.probe, VK_DOWN);
    SendKey(w.probe, VK_UP);
    Application->RemoveKeyHook(id);
    SendKey(w.probe, VK_DOWN);
    EXPECT_EQ(seen, (std::vector<std::string>{"Probe 40", "Probe 38"}));
    EXPECT_EQ(only(w.probe->log, "down"), (std::vector<std::string>{"down 38", "down 40"}));

    // OnKeyDown may consume a key: no character follows.
    w.probe->log.clear();
    w.probe->OnKeyDown = [](TObject*, Word& key, TShiftState) { key = 0; };
    SendKey(w.probe, 'B');
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"down 66"}));
}

TEST(Input, ChineseTextReachesACustomControlAndMovesIntoItsEditor) {
    StartApplication();
    Window w;
    AnsiString zhong = Ansi("中");
    ASSERT_EQ(zhong.size(), 2u);
    SendText(w.probe, zhong);
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"char " + std::to_string(uint8_t(zhong[0])),
                                                      "char " + std::to_string(uint8_t(zhong[1]))}));

    // The first byte moves the focus to an editor; the second follows it there, and the editor
    // inserts the whole character.
    w.probe->log.clear();
    w.probe->editor = w.edit;
    SendText(w.probe, Ansi("中文"));
    EXPECT_TRUE(w.edit->Focused());
    EXPECT_EQ(only(w.probe->log, "char").size(), 1u);
    EXPECT_EQ(w.edit->Text(), Ansi("中文"));
}

TEST(Input, EditBoxTypingLimitsReadOnlyAndChange) {
    StartApplication();
    Window w;
    int changes = 0;
    w.edit->OnChange = [&](TObject*) { ++changes; };
    w.edit->SetFocus();
    for (Word k : {Word('A'), Word('B'), Word('1')})
        SendKey(w.edit, k);
    EXPECT_EQ(w.edit->Text(), "ab1");
    SendKey(w.edit, VK_BACK);
    EXPECT_EQ(w.edit->Text(), "ab");
    EXPECT_EQ(changes, 4);
    w.edit->SetSelStart(1);
    w.edit->SetSelLength(1);
    EXPECT_EQ(w.edit->SelText(), "b");

    w.edit->SetText("");
    w.edit->SetMaxLength(3);  // bytes of the code page: one Chinese character and one letter
    SendText(w.edit, Ansi("中文"));
    SendKey(w.edit, 'X');
    SendKey(w.edit, 'Y');
    EXPECT_EQ(w.edit->Text(), Ansi("中") + "x");

    w.edit->SetReadOnly(true);
    SendKey(w.edit, 'Z');
    SendKey(w.edit, VK_BACK);
    EXPECT_EQ(w.edit->Text(), Ansi("中") + "x");
    w.edit->SetText("set");
    EXPECT_EQ(w.edit->Text(), "set");
}

TEST(Input, CtrlEnterBreaksTheLineOfAWrappedEditBoxOnly) {
    StartApplication();
    Window w;
    w.edit->SetFocus();
    SendKey(w.edit, 'A');
    SendKey(w.edit, VK_RETURN, {ssCtrl});
    SendKey(w.edit, VK_RETURN);
    EXPECT_EQ(w.edit->Text(), "a");
    // A one-line box given a break keeps it, and typing still goes in.
    w.edit->SetText("x\ny");
    SendKey(w.edit, VK_END);
    SendKey(w.edit, 'Z');
    EXPECT_EQ(w.edit->Text(), "x\nyz");

    w.edit->SetWordWrap(true);
    w.edit->SetText("a\r\nb\rc");
    EXPECT_EQ(w.edit->Text(), "a\nb\nc");
    w.edit->SetSelStart(1);
    SendKey(w.edit, VK_RETURN, {ssCtrl});
    EXPECT_EQ(w.edit->Text(), "a\n\nb\nc");
    EXPECT_EQ(w.edit->SelStart(), 2);
    w.edit->SetMaxLength(6);
    SendKey(w.edit, VK_RETURN, {ssCtrl});
    EXPECT_EQ(w.edit->Text(), "a\n\nb\nc");
    w.edit->SetMaxLength(0);
    w.edit->SetReadOnly(true);
    SendKey(w.edit, VK_RETURN, {ssCtrl});
    EXPECT_EQ(w.edit->Text(), "a\n\nb\nc");
    // Pasted lines all go into a wrapped box; a one-line box takes the first.
    w.edit->SetReadOnly(false);
    w.edit->SetText("");
    QGuiApplication::clipboard()->setText("one\r\ntwo");
    w.edit->PasteFromClipboard();
    EXPECT_EQ(w.edit->Text(), "one\ntwo");
    w.edit->SetWordWrap(false);
    w.edit->SetText("");
    w.edit->PasteFromClipboard();
    EXPECT_EQ(w.edit->Text(), "one");
}

namespace {
// Counts the beeps while it lives.
struct Beeps {
    int count = 0;
    Beeps() { MessageBeepHook = [this] { ++count; }; }
    ~Beeps() { MessageBeepHook = nullptr; }
    int take() { return std::exchange(count, 0); }
};

// The picture of an edit box's window.
QImage pictureOf(TWinControl* c) { return c->Widget()->grab().toImage(); }

const char* const kZhangSan = "\xB1\x69\xA4\x54"; // 張三 in Big5
} // namespace

TEST(InputMethod, AnEditBoxComposesCommitsBig5AndRefusesWhatBig5Lacks) {
    StartApplication();
    Window w;
    Beeps beeps;
    w.edit->SetFocus();
    // The composition shows in the box but is no text yet.
    SendInputMethod(w.edit, "zhang", "");
    EXPECT_EQ(w.edit->Text(), "");
    const QImage composing = pictureOf(w.edit);
    SendInputMethod(w.edit, "", "張三");
    EXPECT_EQ(w.edit->Text(), kZhangSan);
    // Once committed, nothing of the composition stays on the screen.
    auto* same = new TEdit(w.form.get());
    same->SetParent(w.form.get());
    same->SetBounds(10, 150, 120, 23);
    same->SetText(kZhangSan);
    w.edit->SetSelStart(0); // no caret in either picture's way
    w.edit->Widget()->clearFocus();
    EXPECT_NE(pictureOf(w.edit), composing);
    EXPECT_EQ(pictureOf(w.edit), pictureOf(same));
    w.edit->SetFocus();
    w.edit->SetSelStart(int(w.edit->Text().size()));
    EXPECT_EQ(beeps.count, 0);

    // What Big5 cannot hold is refused with a beep, the rest of the text goes in; never a "?".
    SendInputMethod(w.edit, "", "张a😀");
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(w.edit->Text(), AnsiString(kZhangSan) + "a");
    // The same for pasted text, cut at its first line break as a one-line box takes it.
    QGuiApplication::clipboard()->setText(QString::fromUtf8("豐张\nnext"));
    SendKey(w.edit, 'V', {ssCtrl});
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(w.edit->Text(), AnsiString(kZhangSan) + "a" + Ansi("豐"));
    // A native paste of such text (the box's own menu, a drop) is taken back whole.
    static_cast<QLineEdit*>(w.edit->Widget())->insert(QString::fromUtf8("张"));
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(w.edit->Text(), AnsiString(kZhangSan) + "a" + Ansi("豐"));
    EXPECT_EQ(w.edit->Text().find('?'), std::string::npos);

    // A read-only box shows no composition and keeps its selection.
    w.edit->SetReadOnly(true);
    w.edit->SelectAll();
    SendInputMethod(w.edit, "zh", "");
    EXPECT_EQ(w.edit->SelLength(), int(w.edit->Text().size()));
    SendInputMethod(w.edit, "", "三");
    EXPECT_EQ(w.edit->Text(), AnsiString(kZhangSan) + "a" + Ansi("豐"));
    // No input method at all for a control that says so.
    w.edit->SetReadOnly(false);
    w.edit->SetImeMode(imDisable);
    SendInputMethod(w.edit, "", "三");
    EXPECT_EQ(w.edit->Text(), AnsiString(kZhangSan) + "a" + Ansi("豐"));
    EXPECT_FALSE(w.edit->Widget()->testAttribute(Qt::WA_InputMethodEnabled));
}

TEST(InputMethod, ADataBoundEditWritesBig5IntoItsFieldAndComposesOnlyWhenItMayEdit) {
    StartApplication();
    static TestDatabase db("INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C1', 'one');"
                           "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C2', 'two')");
    WriteConnectionFiles(db.Dir(), db.Path());
    Window w;
    TComponent owner(nullptr);
    const DataChain chain(owner, "select CUST_ID, CUST_NAME from CUSTOMER order by CUST_ID");
    auto* cds = new TClientDataSet(&owner);
    cds->SetProviderName("DSP");
    auto* source = new TDataSource(&owner);
    source->SetDataSet(cds);
    auto* db1 = new TDBEdit(w.form.get());
    db1->SetParent(w.form.get());
    db1->SetBounds(10, 200, 154, 23);
    db1->SetDataSource(source);
    db1->SetDataField("CUST_NAME");
    cds->Open();
    Beeps beeps;

    db1->SetFocus();
    EXPECT_EQ(db1->SelLength(), 3);
    SendInputMethod(db1, "zhang", "");
    EXPECT_EQ(cds->State(), dsEdit); // composing is typing
    SendInputMethod(db1, "", "張三");
    SendInputMethod(db1, "", "张");
    EXPECT_EQ(beeps.take(), 1);
    EXPECT_EQ(db1->Text(), kZhangSan);
    w.edit->SetFocus();
    EXPECT_EQ(cds->FieldByName("CUST_NAME")->AsString(), kZhangSan);
    cds->Post();
    cds->First();
    EXPECT_EQ(cds->FieldByName("CUST_NAME")->AsString(), kZhangSan);

    // A dataset that cannot change: no composition takes the selected text away, the commit is refused.
    cds->Next();
    cds->SetReadOnly(true);
    db1->SetFocus();
    db1->SelectAll();
    SendInputMethod(db1, "zh", "");
    EXPECT_EQ(db1->Text(), "two");
    EXPECT_EQ(db1->SelLength(), 3);
    SendInputMethod(db1, "", "張");
    EXPECT_EQ(db1->Text(), "two");
    EXPECT_EQ(cds->State(), dsBrowse);
    w.edit->SetFocus();
    EXPECT_EQ(cds->FieldByName("CUST_NAME")->AsString(), "two");
    delete db1;
}

TEST(Input, MouseClicksDoubleClicksWindowlessChildrenAndCapture) {
    StartApplication();
    Window w;
    SendClick(w.probe, 5, 6);
    SendMouse(w.probe, TMouseAction::DoubleClick, mbLeft, {}, 5, 6);
    SendMouse(w.probe, TMouseAction::Up, mbLeft, {}, 5, 6);
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"mousedown 0 5,6 left", "mouseup 5,6", "click", "dblclick",
                                                      "mousedown 0 5,6 double left", "mouseup 5,6"}));
    EXPECT_GT(GetDoubleClickTime(), 0);

    // A label inside the control gets the mouse in its own coordinates and keeps it until release.
    w.probe->log.clear();
    auto* label = new TLabel(w.form.get());
    label->SetParent(w.probe);
    label->SetAutoSize(false);
    label->SetBounds(50, 20, 40, 15);
    std::vector<std::string> labelLog;
    label->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        labelLog.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    };
    label->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        labelLog.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    };
    label->OnClick = [&](TObject*) { labelLog.push_back("click"); };
    SendMouse(label, TMouseAction::Down, mbLeft, {}, 3, 4);
    EXPECT_TRUE(label->MouseCapture());
    SendMouse(w.probe, TMouseAction::Up, mbLeft, {}, 150, 90);  // released far outside: no click
    EXPECT_FALSE(label->MouseCapture());
    EXPECT_EQ(labelLog, (std::vector<std::string>{"down 3,4", "up 100,70"}));
    EXPECT_TRUE(w.probe->log.empty());

    w.probe->SetMouseCapture(true);
    EXPECT_EQ(CaptureControl(), w.probe);
    w.probe->SetMouseCapture(false);
    EXPECT_EQ(CaptureControl(), nullptr);

    // With a border the client area starts two pixels in.
    w.probe->SetCtl3DBorder(true);
    EXPECT_EQ(w.probe->ClientRect(), Rect(0, 0, 196, 96));
    w.probe->log.clear();
    SendMouse(w.probe, TMouseAction::Down, mbRight, {}, 0, 0);
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"mousedown 1 0,0"}));
}

TEST(Input, WheelTimersAndScrollBars) {
    StartApplication();
    Window w;
    SendWheel(w.probe, -240);
    SendWheel(w.probe, 120);
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"wheel down", "wheel down", "wheel up"}));

    w.probe->log.clear();
    w.probe->SetTimer(7, 5);
    QElapsedTimer guard;
    guard.start();
    while (only(w.probe->log, "timer").size() < 2 && guard.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(only(w.probe->log, "timer").front(), "timer 7");
    w.probe->KillTimer(7);
    w.probe->log.clear();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    EXPECT_TRUE(only(w.probe->log, "timer").empty());

    w.probe->SetScrollBars(ssVertical);
    EXPECT_EQ(w.probe->ClientWidth(), 200 - GetSystemMetrics(SM_CXVSCROLL));
    w.probe->SetScrollInfo(sbVertical, {0, 100, 10, 200});
    EXPECT_EQ(w.probe->GetScrollPos(sbVertical), 91);  // the last page starts at 91
    w.probe->SetScrollPos(sbVertical, 20);
    auto* bar = w.probe->Widget()->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    w.probe->log.clear();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"vscroll 1 21", "vscroll 2 11"}));
    EXPECT_EQ(w.probe->GetScrollPos(sbVertical), 11);
    EXPECT_EQ(bar->value(), 11);
}

TEST(Input, FocusMessagesAndThePaintedClientArea) {
    StartApplication();
    Window w;
    w.edit->SetFocus();
    w.probe->SetFocus();
    EXPECT_EQ(w.probe->log, (std::vector<std::string>{"killfocus", "setfocus"}));
    TBitmap shot;
    w.probe->PaintTo(shot);
    EXPECT_EQ(shot.Pixel(0, 0), clRed);
    EXPECT_EQ(shot.Pixel(10, 10), ColorToRGB(clWindow));
}

TEST(Clipboard, TextHtmlAndSylkTogether) {
    StartApplication();
    Clipboard().SetAsText(Ansi("客戶代號"));
    EXPECT_EQ(Clipboard().AsText(), Ansi("客戶代號"));
    Clipboard().Open();
    Clipboard().Clear();
    Clipboard().SetAsText("ID;PWXL");
    Clipboard().SetFormat(CF_SYLK_NAME, "ID;PWXL\r\nE");
    Clipboard().SetFormat(CF_HTML_NAME, "Version:0.9\r\n");
    Clipboard().Close();
    EXPECT_EQ(Clipboard().AsText(), "ID;PWXL");
    EXPECT_EQ(Clipboard().GetFormat(CF_SYLK_NAME), "ID;PWXL\r\nE");
    EXPECT_EQ(Clipboard().GetFormat(CF_HTML_NAME), "Version:0.9\r\n");
    Clipboard().Clear();
    EXPECT_FALSE(Clipboard().HasFormat(CF_SYLK_NAME));
}

TEST(DBEdit, FollowsItsFieldAndWritesOnlyWhenItMay) {
    StartApplication();
    Window w;
    auto* ds = new TVectorDataSet(w.form.get(), 3);
    ds->SetName("CDS");
    auto* source = new TDataSource(w.form.get());
    source->SetDataSet(ds);
    auto* db = new TDBEdit(w.form.get());
    db->SetName("DBEdit1");
    db->SetParent(w.form.get());
    db->SetBounds(10, 200, 154, 23);
    db->SetColor(16500631);
    db->SetDataSource(source);
    db->SetDataField("NAME");
    db->SetReadOnly(true);
    EXPECT_EQ(db->Text(), "");
    ds->Open();
    EXPECT_EQ(db->Text(), "N1");
    ds->Next();
    EXPECT_EQ(db->Text(), "N2");

    // Read-only: it takes the focus but typing changes nothing.
    db->SetFocus();
    EXPECT_TRUE(db->Focused());
    SendKey(db, 'X');
    EXPECT_EQ(db->Text(), "N2");
    EXPECT_EQ(ds->State(), dsBrowse);

    // Editable: typing puts the dataset in edit state and leaving writes the field.
    db->SetReadOnly(false);
    db->SelectAll();
    SendKey(db, 'Q');
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(db->Text(), "q");
    w.edit->SetFocus();
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "q");

    ds->Close();
    EXPECT_EQ(db->Text(), "");
    delete source;
    EXPECT_EQ(db->DataSource(), nullptr);
}

TEST(Application, HeadlessPictureAndStateOfTheMainWindow) {
    StartApplication();
    auto* form = Application->CreateForm<TForm>();
    ASSERT_EQ(Application->MainForm(), form);
    form->SetName("FormMorvane");
    form->SetBounds(0, 0, 300, 200);
    auto* edit = new TEdit(form);
    edit->SetName("Ed_billid");
    edit->SetParent(form);
    edit->SetBounds(10, 150, 120, 23);
    edit->SetText(Ansi("單號"));
    auto* ds = new TVectorDataSet(form, 2);
    ds->SetName("CDS_CUST");
    ds->Open();
    Application->AddStateSection("grid", [] { return std::string("[[\"Y\"]]"); });
    form->Show();

    std::string dir = testing::TempDir();
    std::string png = dir + "/morvane-shot.png", json = dir + "/morvane-state.json";
    std::remove(png.c_str());
    setenv("MORVANE_SCREENSHOT", png.c_str(), 1);
    setenv("MORVANE_STATE", json.c_str(), 1);
    EXPECT_TRUE(Application->SaveHeadlessOutputs());
    unsetenv("MORVANE_SCREENSHOT");
    unsetenv("MORVANE_STATE");
    std::ifstream pic(png, std::ios::binary);
    std::string magic(4, '\0');
    pic.read(magic.data(), 4);
    EXPECT_EQ(magic, "\x89PNG");
    std::stringstream text;
    text << std::ifstream(json).rdbuf();
    std::string state = text.str();
    EXPECT_NE(state.find("\"form\": \"FormMorvane\""), std::string::npos);
    EXPECT_NE(state.find("{\"name\": \"Ed_billid\", \"class\": \"TEdit\", \"visible\": true, \"bounds\": [10, 150, 120, 23], "
                         "\"text\": \"單號\"}"),
              std::string::npos)
        << state;
    EXPECT_NE(state.find("{\"name\": \"CDS_CUST\", \"class\": \"TDataSet\", \"state\": 1, \"recordCount\": 2, "
                         "\"fields\": [\"ID\", \"NAME\"], \"current\": [\"1\", \"N1\"]}"),
              std::string::npos)
        << state;
    EXPECT_NE(state.find("\"grid\": [[\"Y\"]]"), std::string::npos);

    TBitmap shot;
    form->PaintTo(shot);
    EXPECT_EQ(shot.Width(), form->ClientWidth());
    EXPECT_EQ(shot.Pixel(250, 50), ColorToRGB(clBtnFace));
    delete form;
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Controls, PublishedPropertiesByNameAndPopUpWindows) {
    StartApplication();
    Window w;
    auto* source = new TDataSource(w.form.get());
    auto* db = new TDBEdit(w.form.get());
    EXPECT_TRUE(db->InheritsFrom("tcustomedit"));
    EXPECT_TRUE(db->InheritsFrom("TWinControl"));
    EXPECT_FALSE(db->InheritsFrom("TPanel"));
    EXPECT_TRUE(db->SetProperty("DataField", PropValue(AnsiString("CUST_ID"))));
    EXPECT_TRUE(db->SetProperty("DataSource", PropValue(static_cast<TPersistent*>(source))));
    EXPECT_TRUE(db->SetProperty("Color", PropValue(int64_t(16500631))));
    EXPECT_TRUE(db->SetProperty("TabOrder", PropValue(int64_t(0))));
    EXPECT_EQ(db->DataField(), "CUST_ID");
    EXPECT_EQ(db->DataSource(), source);
    EXPECT_EQ(db->Color(), 16500631);
    EXPECT_EQ(std::get<AnsiString>(db->GetProperty("datafield")), "CUST_ID");
    EXPECT_FALSE(db->SetProperty("NoSuchProperty", PropValue(true)));

    // A window control without a parent is a pop-up at screen coordinates.
    auto* hint = new Probe(w.form.get());
    hint->SetBounds(100, 120, 50, 20);
    hint->HandleNeeded();
    EXPECT_TRUE(hint->Widget()->isWindow());
    EXPECT_TRUE(hint->Widget()->isVisible());
    EXPECT_EQ(hint->Widget()->geometry(), QRect(100, 120, 50, 20));
    hint->Hide();
    EXPECT_FALSE(hint->Widget()->isVisible());
    delete hint;
}
