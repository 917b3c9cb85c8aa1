#include "ui/Form.h"

#include "core/Exception.h"
#include "ui/Application.h"
#include "ui/Buttons.h"
#include "ui/Canvas.h"
#include "ui/QtBridge.h"

#include <QApplication>
#include <QEventLoop>
#include <QWidget>

#include <cstdlib>
#include <cstring>

std::function<void(TForm* form)> ModalFormHook;

namespace {
// The first visible, enabled cancel button among a control's children, depth first.
TButton* cancelButtonIn(const TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible() || !c->Enabled())
            continue;
        if (auto* b = dynamic_cast<TButton*>(c); b && b->Cancel())
            return b;
        if (auto* w = dynamic_cast<TWinControl*>(c))
            if (TButton* b = cancelButtonIn(w))
                return b;
    }
    return nullptr;
}
} // namespace

void TForm::DefineProperties(ClassInfo& info) {
    info.Add("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle);
    info.Add("OldCreateOrder", &TForm::OldCreateOrder, &TForm::SetOldCreateOrder);
    info.Add("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch);
    info.Add("TextHeight", &TForm::TextHeight, &TForm::SetTextHeight);
    info.Add("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl);
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    TControl::SetVisible(false);
    SetColor(clBtnFace);
    SetParentFont(false);
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (const std::exception& e) {
            Application->HandleException(this, e);
        }
    }
    // The components go while the form is whole; then its window.
    DestroyComponents();
    if (Application->MainForm() == this)
        Application->MainFormDestroyed();
}

// ---- frame ----

void TForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == borderStyle_)
        return;
    TRect client = ClientRect();
    borderStyle_ = v;
    applyWindowFlags();
    // The client area keeps its size; the outer size follows the frame.
    SetClientWidth(client.Width());
    SetClientHeight(client.Height());
}

void TForm::SetBorderIcons(TBorderIcons v) {
    borderIcons_ = v;
    applyWindowFlags();
}

int TForm::FrameWidth() const {
    switch (borderStyle_) {
    case bsNone:
        return 0;
    case bsSizeable:
    case bsSizeToolWin:
        return GetSystemMetrics(SM_CXFRAME);
    default:
        return GetSystemMetrics(SM_CXDLGFRAME);
    }
}

int TForm::CaptionHeight() const {
    switch (borderStyle_) {
    case bsNone:
        return 0;
    case bsToolWindow:
    case bsSizeToolWin:
        return GetSystemMetrics(SM_CYCAPTION) - 8;
    default:
        return GetSystemMetrics(SM_CYCAPTION);
    }
}

TRect TForm::ClientRect() const {
    int f = FrameWidth();
    return Rect(0, 0, std::max(0, width_ - 2 * f), std::max(0, height_ - 2 * f - CaptionHeight()));
}

TRect TForm::WidgetGeometry() const {
    TRect c = ClientRect();
    return Bounds(left_ + FrameWidth(), top_ + FrameWidth() + CaptionHeight(), c.Width(), c.Height());
}

void TForm::CreateWnd() {
    TWinControl::CreateWnd();
    Widget()->setWindowTitle(bridge::ToQString(Caption()));
    applyWindowFlags();
}

void TForm::applyWindowFlags() {
    QWidget* w = Widget();
    if (!w)
        return;
    Qt::WindowFlags flags = borderStyle_ == bsNone ? Qt::Window | Qt::FramelessWindowHint
                                                   : Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
    if (borderStyle_ != bsNone) {
        if (borderIcons_.Contains(TBorderIcon::biSystemMenu))
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (borderIcons_.Contains(TBorderIcon::biMinimize))
            flags |= Qt::WindowMinimizeButtonHint;
        if (borderIcons_.Contains(TBorderIcon::biMaximize) && (borderStyle_ == bsSizeable))
            flags |= Qt::WindowMaximizeButtonHint;
    }
    bool visible = w->isVisible();
    w->setWindowFlags(flags);
    if (borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin) {
        w->setMinimumSize(0, 0);
        w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        w->setFixedSize(w->size());
    }
    if (visible)
        w->show();
}

void TForm::TextChanged() {
    if (Widget())
        Widget()->setWindowTitle(bridge::ToQString(Caption()));
}

void TForm::WindowResized(int clientWidth, int clientHeight) {
    TRect c = ClientRect();
    if (c.Width() == clientWidth && c.Height() == clientHeight)
        return;
    SetBounds(left_, top_, width_ - c.Width() + clientWidth, height_ - c.Height() + clientHeight);
}

// ---- focus ----

void TForm::SetActiveControl(TWinControl* c) {
    if (c && Showing())
        FocusControl(c);
    else
        activeControl_ = c;
}

void TForm::FocusControl(TWinControl* c) {
    if (!c)
        return;
    if (!c->CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    activeControl_ = c;
    if (!Showing())
        return;
    c->HandleNeeded();
    c->Widget()->setFocus(Qt::OtherFocusReason);
    // Enter and exit follow the form's idea of the focus even before the window system confirms it.
    SetFocusedControl(c);
}

void TForm::SetFocusedControl(TWinControl* c) {
    if (c == focusedControl_)
        return;
    TWinControl* old = focusedControl_;
    focusedControl_ = c;
    activeControl_ = c;
    if (old)
        old->DoExit();
    if (c == focusedControl_ && c)
        c->DoEnter();
}

void TForm::ControlRemoved(TWinControl* c) {
    if (activeControl_ == c)
        activeControl_ = nullptr;
    if (focusedControl_ == c)
        focusedControl_ = nullptr;
}

void TForm::SelectFirst() {
    if (TWinControl* c = FindNextControl(nullptr, true, true, false))
        c->SetFocus();
}

bool TForm::DialogKey(Word key, TShiftState shift) {
    if (key == VK_TAB) {
        if (shift.Contains(ssCtrl) || shift.Contains(ssAlt))
            return false;
        SelectNext(activeControl_, !shift.Contains(ssShift), true);
        return true;
    }
    if (key >= VK_LEFT && key <= VK_DOWN && activeControl_ && activeControl_->Parent()) {
        activeControl_->Parent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
        return true;
    }
    if (key == VK_ESCAPE && shift.Empty())
        if (TButton* b = cancelButtonIn(this)) {
            b->Click();
            return true;
        }
    return false;
}

// ---- loading ----

void TForm::BeginLoading() {
    SetLoading(true);
    for (int i = 0; i < ComponentCount(); ++i)
        Components(i)->SetLoading(true);
}

std::vector<TComponent*> TForm::LoadedOrder(const std::vector<TComponent*>& others) const {
    std::vector<TComponent*> order{const_cast<TForm*>(this)};
    // A control's description ends after the descriptions of the controls inside it.
    auto visit = [&](auto&& self, const TWinControl* parent) -> void {
        for (int i = 0; i < parent->ControlCount(); ++i) {
            TControl* c = parent->Controls(i);
            if (c->Owner() != this)
                continue;
            if (auto w = dynamic_cast<const TWinControl*>(c))
                self(self, w);
            order.push_back(c);
        }
    };
    visit(visit, this);
    if (!others.empty()) {
        order.insert(order.end(), others.begin(), others.end());
        return order;
    }
    for (int i = 0; i < ComponentCount(); ++i)
        if (!dynamic_cast<TControl*>(Components(i)))
            order.push_back(Components(i));
    return order;
}

void TForm::EndLoading(const std::vector<TComponent*>& others) {
    for (TComponent* c : LoadedOrder(others))
        c->Loaded();
}

// ---- scaling and creation ----

void TForm::ApplyDesignScaling() {
    int ppi = Screen().PixelsPerInch();
    DisableAlign();
    if (ppi != pixelsPerInch_)
        Font()->SetHeight(MulDiv(Font()->Height(), ppi, pixelsPerInch_));
    TCanvas measure(nullptr);
    measure.SetFont(*Font());
    int measured = measure.TextHeight("0");
    if (measured != textHeight_ && textHeight_ > 0) {
        int cw = MulDiv(ClientWidth(), measured, textHeight_), ch = MulDiv(ClientHeight(), measured, textHeight_);
        for (TControl* c : [this] {
                 std::vector<TControl*> list;
                 for (int i = 0; i < ControlCount(); ++i)
                     list.push_back(Controls(i));
                 return list;
             }())
            c->ChangeScale(measured, textHeight_);
        SetClientWidth(cw);
        SetClientHeight(ch);
    }
    pixelsPerInch_ = ppi;
    textHeight_ = measured;
    EnableAlign();
}

void TForm::DoCreate() {
    if (!OnCreate)
        return;
    try {
        OnCreate(this);
    } catch (const std::exception& e) {
        Application->HandleException(this, e);
    }
}

// ---- showing and closing ----

void TForm::SetVisible(bool v) { TControl::SetVisible(v); }

void TForm::VisibleChanged() {
    if (Visible()) {
        HandleNeeded();
        Widget()->show();
        Widget()->activateWindow();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (OnShow)
            OnShow(this);
        if (activeControl_ && activeControl_->CanFocus())
            FocusControl(activeControl_);
        else
            SelectFirst();
        if (OnActivate)
            OnActivate(this);
    } else if (Widget()) {
        Widget()->hide();
    }
}

bool TForm::Active() const { return Widget() && Widget()->isActiveWindow(); }

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close() {
    if (closing_)
        return;
    closing_ = true;
    bool closed = false;
    try {
        if (CloseQuery()) {
            TCloseAction action = caHide;
            if (OnClose)
                OnClose(this, action);
            if (action != caNone) {
                closed = true;
                if (modalResult_ == mrNone)
                    modalResult_ = mrCancel;
                Hide();
            }
        }
    } catch (...) {
        closing_ = false;
        throw;
    }
    closing_ = false;
    if (closed && Application->MainForm() == this)
        Application->Terminate();
}

bool TForm::WindowClosing() {
    Close();
    return !Visible();
}

int TForm::ShowModal() {
    modalResult_ = mrNone;
    // The other windows take no input while the form is up (a grid under a memo dialog must not
    // move to another record).
    HandleNeeded();
    if (!Visible())
        Widget()->setWindowModality(Qt::ApplicationModal);
    Show();
    const char* mode = std::getenv("MORVANE_DIALOGS");
    const bool unattended = mode && std::strcmp(mode, "auto") == 0;
    while (Visible()) {
        if (modalResult_ != mrNone) {
            // A button gave the result: the form may still refuse to close.
            if (CloseQuery())
                break;
            modalResult_ = mrNone;
        }
        if (ModalFormHook) {
            ModalFormHook(this);
            QApplication::processEvents(QEventLoop::AllEvents);
        } else if (unattended) {
            modalResult_ = mrCancel;
            break;
        } else {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    Hide();
    if (Widget())
        Widget()->setWindowModality(Qt::NonModal);
    return modalResult_;
}
