#include "ui/WinControl.h"

#include "core/Guard.h"
#include "ui/Accessible.h"
#include "ui/Bitmap.h"
#include "ui/Canvas.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/QtBridge.h"
#include "ui/WidgetBridge.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <cmath>
#include <memory>

using namespace bridge;

TWinControl* ControlOfWidget(const QWidget* w) {
    return w ? static_cast<TWinControl*>(w->property("morvaneControl").value<void*>()) : nullptr;
}

void TWinControl::DefineProperties(ClassInfo& info) {
    info.Add("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder);
    info.Add("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Leave the parent while still a window control, so its tab list and its form forget this one.
    if (Parent())
        Parent()->removeControl(this);
    // The children go with their parent, as the platform frees child windows.
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        removeControl(c);
        delete c;
    }
    for (auto& [id, timer] : timers_)
        delete timer;
    timers_.clear();
    DestroyHandle();
}

// ---- children ----

void TWinControl::insertControl(TControl* c) {
    controls_.push_back(c);
    c->parent_ = this;
    if (auto w = dynamic_cast<TWinControl*>(c)) {
        tabList_.push_back(w);
        if (widget_)
            w->HandleNeeded();
    }
}

void TWinControl::removeControl(TControl* c) {
    std::erase(controls_, c);
    if (auto w = dynamic_cast<TWinControl*>(c)) {
        std::erase(tabList_, w);
        w->DestroyHandle();
        if (TForm* f = GetParentForm())
            f->ControlRemoved(w);
    }
    c->parent_ = nullptr;
    Invalidate();
}

TControl* TWinControl::ControlAtPos(TPoint p) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (!dynamic_cast<TWinControl*>(c) && c->Visible() && c->Enabled() && c->BoundsRect().Contains(p))
            return c;
    }
    return nullptr;
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == Parent())
        return;
    DestroyHandle();
    TControl::SetParent(parent);
}

// ---- the window ----

QWidget* TWinControl::CreateWidget(QWidget* parent) { return new BridgeWidget<QWidget>(this, parent); }

void TWinControl::HandleNeeded() {
    if (widget_)
        return;
    if (Parent())
        Parent()->HandleNeeded();
    widget_ = CreateWidget(Parent() ? Parent()->widget_ : nullptr);
    CreateWnd();
    for (TWinControl* c : tabList_)
        c->HandleNeeded();
}

void TWinControl::CreateWnd() {
    widget_->setFocusPolicy(Qt::NoFocus);
    widget_->setAttribute(Qt::WA_InputMethodEnabled, imeMode_ != imDisable);
    UpdateWidgetBounds();
    UpdateWidgetPalette();
    widget_->setEnabled(Enabled());
    if (Cursor() != crDefault)
        widget_->setCursor(ToQCursor(Cursor()));
    if (dynamic_cast<TForm*>(this))
        return;  // a form shows itself
    // A window control without a parent is a pop-up (a hint, a dragged picture): no frame, no focus.
    if (!Parent())
        widget_->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    widget_->setVisible(Visible());
}

void TWinControl::DestroyHandle() {
    if (!widget_)
        return;
    for (TWinControl* c : tabList_)
        c->DestroyHandle();
    if (TControl* cap = CaptureControl(); cap == this)
        SetMouseCapture(false);
    QWidget* w = widget_;
    widget_ = nullptr;
    scrollBarWidgets_[0] = scrollBarWidgets_[1] = nullptr;
    w->setProperty("morvaneControl", QVariant::fromValue<void*>(nullptr));
    delete w;
}

TRect TWinControl::WidgetGeometry() const {
    TPoint o = Parent() && Parent()->Ctl3DBorder() ? TPoint{2, 2} : TPoint{};
    return Bounds(left_ + o.X, top_ + o.Y, std::max(width_, 0), std::max(height_, 0));
}

void TWinControl::UpdateWidgetBounds() {
    if (!widget_)
        return;
    widget_->setGeometry(ToQRect(WidgetGeometry()));
    layoutScrollBars();
}

void TWinControl::UpdateWidgetPalette() {
    if (!widget_)
        return;
    QPalette pal = widget_->palette();
    pal.setColor(QPalette::Window, ToQColor(Color()));
    pal.setColor(QPalette::Base, ToQColor(Color()));
    pal.setColor(QPalette::Text, ToQColor(Font()->Color()));
    pal.setColor(QPalette::WindowText, ToQColor(Font()->Color()));
    pal.setColor(QPalette::Highlight, ToQColor(clHighlight));
    pal.setColor(QPalette::HighlightedText, ToQColor(clHighlightText));
    widget_->setPalette(pal);
    widget_->setFont(ToQFont(*Font()));
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    UpdateWidgetBounds();
    if (resized)
        AlignControls();
    RequestAlign();
    Invalidate();
    if (resized)
        Resize();
}

void TWinControl::Resize() { TControl::Resize(); }

TRect TWinControl::ClientRect() const {
    int b = border_ ? 2 : 0;
    int w = width_ - 2 * b - (scrollBars_ == ssVertical || scrollBars_ == ssBoth ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    int h = height_ - 2 * b - (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth ? GetSystemMetrics(SM_CYHSCROLL) : 0);
    return Rect(0, 0, std::max(w, 0), std::max(h, 0));
}

void TWinControl::SetCtl3DBorder(bool v) {
    if (v == border_)
        return;
    border_ = v;
    for (TWinControl* c : tabList_)
        c->UpdateWidgetBounds();
    layoutScrollBars();
    AlignControls();
    Invalidate();
}

void TWinControl::SetCursor(TCursor c) {
    TControl::SetCursor(c);
    if (widget_) {
        if (c == crDefault)
            widget_->unsetCursor();
        else
            widget_->setCursor(ToQCursor(c));
    }
}

void TWinControl::Invalidate() {
    if (widget_)
        widget_->update();
}

void TWinControl::Repaint() {
    if (widget_)
        widget_->repaint();
}

void TWinControl::FontChanged() {
    TControl::FontChanged();
    for (TControl* c : std::vector<TControl*>(controls_))
        c->ParentFontChanged();
    UpdateWidgetPalette();
}

void TWinControl::ColorChanged() {
    TControl::ColorChanged();
    for (TControl* c : std::vector<TControl*>(controls_))
        c->ParentColorChanged();
    UpdateWidgetPalette();
}

void TWinControl::EnabledChanged() {
    TControl::EnabledChanged();
    if (widget_)
        widget_->setEnabled(Enabled());
}

void TWinControl::VisibleChanged() {
    if (widget_)
        widget_->setVisible(Visible());
    RequestAlign();
}

// ---- alignment ----

void TWinControl::EnableAlign() {
    if (alignLevel_ > 0 && --alignLevel_ == 0)
        AlignControls();
}

void TWinControl::AdjustClientRect(TRect&) const {}

void TWinControl::AlignControls() {
    if (alignLevel_ > 0 || Loading())
        return;
    ++alignLevel_;  // the children's SetBounds must not start another pass
    TRect r = ClientRect();
    AdjustClientRect(r);
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->Align() == a && c->Visible())
                list.push_back(c);
        // Bands keep their order by position: top bands from the top, bottom bands from the bottom...
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case alTop:
                return x->Top() < y->Top();
            case alBottom:
                return x->Top() + x->Height() > y->Top() + y->Height();
            case alLeft:
                return x->Left() < y->Left();
            case alRight:
                return x->Left() + x->Width() > y->Left() + y->Width();
            default:
                return false;
            }
        });
        for (TControl* c : list) {
            int w = std::max(r.Width(), 0), h = std::max(r.Height(), 0);
            switch (a) {
            case alTop:
                c->SetBounds(r.Left, r.Top, w, c->Height());
                r.Top += c->Height();
                break;
            case alBottom:
                r.Bottom -= c->Height();
                c->SetBounds(r.Left, r.Bottom, w, c->Height());
                break;
            case alLeft:
                c->SetBounds(r.Left, r.Top, c->Width(), h);
                r.Left += c->Width();
                break;
            case alRight:
                r.Right -= c->Width();
                c->SetBounds(r.Right, r.Top, c->Width(), h);
                break;
            default:
                c->SetBounds(r.Left, r.Top, w, h);
                break;
            }
        }
    }
    --alignLevel_;
}

void TWinControl::Loaded() {
    TControl::Loaded();
    AlignControls();
}

void TWinControl::ChangeScale(int m, int d) {
    DisableAlign();
    for (TControl* c : std::vector<TControl*>(controls_))
        c->ChangeScale(m, d);
    TControl::ChangeScale(m, d);
    EnableAlign();
}

// ---- tab order and focus ----

int TWinControl::TabOrder() const {
    if (!Parent())
        return -1;
    const auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int v) {
    if (!Parent())
        return;
    auto& list = Parent()->tabList_;
    std::erase(list, this);
    v = std::clamp(v, 0, int(list.size()));
    list.insert(list.begin() + v, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty())
        return nullptr;
    const int n = int(list.size());
    auto at = std::find(list.begin(), list.end(), current);
    int start = at == list.end() ? (goForward ? n - 1 : 0) : int(at - list.begin());
    int i = start;
    do {
        i = goForward ? (i + 1) % n : (i + n - 1) % n;
        TWinControl* c = list[size_t(i)];
        if (c->CanFocus() && (!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this))
            return c;
    } while (i != start);
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
    if (TWinControl* c = FindNextControl(current, goForward, checkTabStop, !checkTabStop))
        c->SetFocus();
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return true;
}

void TWinControl::SetFocus() {
    if (TForm* f = GetParentForm(); f && f != this)
        f->FocusControl(this);
    else if (widget_)
        widget_->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const { return widget_ && widget_->hasFocus(); }

void TWinControl::SetImeMode(TImeMode v) {
    imeMode_ = v;
    if (widget_)
        widget_->setAttribute(Qt::WA_InputMethodEnabled, v != imDisable);
}

void TWinControl::DoEnter() {
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit)
        OnExit(this);
}

void TWinControl::WMSetFocus() {}
void TWinControl::WMKillFocus() {}

// ---- keyboard ----

void TWinControl::DispatchKeyDown(Word& key, TShiftState shift) {
    int mask = 0;
    if (key == VK_TAB)
        mask = DLGC_WANTTAB;
    else if (key >= VK_LEFT && key <= VK_DOWN)
        mask = DLGC_WANTARROWS;
    else if (key == VK_RETURN || key == VK_ESCAPE)
        mask = DLGC_WANTALLKEYS;
    // A key the control does not want goes to the form's navigation first.
    if (mask && !(DialogCode() & (mask | DLGC_WANTALLKEYS)))
        if (TForm* f = GetParentForm(); f && f->DialogKey(key, shift)) {
            key = 0;
            return;
        }
    KeyDown(key, shift);
    // The Menu key and Shift+F10 ask for the context menu, when the control did not take the key.
    if (PopupMenu() && ((key == VK_APPS && shift.Empty()) || (key == VK_F10 && shift == TShiftState{ssShift}))) {
        key = 0;
        ContextPopup(KeyboardMenuPoint());
    }
}

TPoint TWinControl::KeyboardMenuPoint() const {
    const TRect r = ClientRect();
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

void TWinControl::DispatchKeyUp(Word& key, TShiftState shift) { KeyUp(key, shift); }

void TWinControl::DispatchChar(char key) {
    KeyPress(key);
    if (key != 0)
        DefaultChar(key);
}

void TWinControl::KeyDown(Word& key, TShiftState shift) {
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(Word& key, TShiftState shift) {
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    if (OnKeyPress)
        OnKeyPress(this, key);
}

// ---- mouse wheel ----

bool TWinControl::DispatchMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    return DoMouseWheel(shift, wheelDelta, mousePos);
}

bool TWinControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheel)
        OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
    if (handled)
        return true;
    // One notch (120) is one message; larger turns give one per notch.
    int notches = std::max(1, std::abs(wheelDelta) / 120);
    for (int i = 0; i < notches; ++i)
        handled = (wheelDelta < 0 ? DoMouseWheelDown(shift, mousePos) : DoMouseWheelUp(shift, mousePos)) || handled;
    return handled;
}

bool TWinControl::DoMouseWheelDown(TShiftState, TPoint) { return false; }
bool TWinControl::DoMouseWheelUp(TShiftState, TPoint) { return false; }

// ---- scroll bars ----

void TWinControl::SetScrollBars(TScrollStyle v) {
    if (v == scrollBars_)
        return;
    scrollBars_ = v;
    layoutScrollBars();
    AlignControls();
    Invalidate();
}

namespace {
// The bar's range, page and position as the control set them; a dragged thumb stays under the
// pointer until it is released.
void applyScrollInfo(QScrollBar* sb, const TScrollInfo& s, bool enabled) {
    QSignalBlocker block(sb);
    sb->setRange(s.Min, std::max(s.Min, s.Max - std::max(s.Page, 1) + 1));
    // (Setting the same page step again would still repaint the bar.)
    if (sb->pageStep() != std::max(s.Page, 1))
        sb->setPageStep(std::max(s.Page, 1));
    if (!sb->isSliderDown())
        sb->setValue(s.Pos);
    sb->setEnabled(enabled && sb->maximum() > sb->minimum());
}
} // namespace

void TWinControl::SetScrollInfo(TScrollBarKind bar, const TScrollInfo& info) {
    TScrollInfo& s = scrollInfo_[bar];
    s = info;
    s.Max = std::max(s.Max, s.Min);
    s.Pos = std::clamp(s.Pos, s.Min, std::max(s.Min, s.Max - std::max(s.Page, 1) + 1));
    // A bar already in place takes the new values alone (a record walk sets them at every record).
    auto* sb = static_cast<QScrollBar*>(scrollBarWidgets_[bar]);
    scrollBarOwed_[bar] = false;
    if (sb && !sb->isHidden())
        applyScrollInfo(sb, s, scrollBarEnabled_[bar]);
    else
        layoutScrollBars();
}

void TWinControl::SetScrollInfoSoon(TScrollBarKind bar, const TScrollInfo& info) {
    const TScrollInfo before = scrollInfo_[bar];
    auto* sb = static_cast<QScrollBar*>(scrollBarWidgets_[bar]);
    if (!sb || sb->isHidden() || info.Min != before.Min || std::max(info.Max, info.Min) != before.Max ||
        info.Page != before.Page) {
        SetScrollInfo(bar, info);
        return;
    }
    TScrollInfo& s = scrollInfo_[bar];
    s.Pos = std::clamp(info.Pos, s.Min, std::max(s.Min, s.Max - std::max(s.Page, 1) + 1));
    if (scrollBarOwed_[bar])
        return;
    // One call for the whole run of positions; it goes with the bar (a bar made anew is set whole).
    scrollBarOwed_[bar] = true;
    QMetaObject::invokeMethod(
        sb,
        [this, bar, sb] {
            if (!scrollBarOwed_[bar] || scrollBarWidgets_[bar] != sb)
                return;
            scrollBarOwed_[bar] = false;
            applyScrollInfo(sb, scrollInfo_[bar], scrollBarEnabled_[bar]);
        },
        Qt::QueuedConnection);
}

void TWinControl::EnableScrollBar(TScrollBarKind bar, bool enabled) {
    if (scrollBarEnabled_[bar] == enabled)
        return;
    scrollBarEnabled_[bar] = enabled;
    layoutScrollBars();
}

void TWinControl::SetScrollPos(TScrollBarKind bar, int pos) {
    TScrollInfo s = scrollInfo_[bar];
    s.Pos = pos;
    SetScrollInfo(bar, s);
}

void TWinControl::layoutScrollBars() {
    if (!widget_)
        return;
    const int b = border_ ? 2 : 0;
    const bool show[2] = {scrollBars_ == ssHorizontal || scrollBars_ == ssBoth,
                          scrollBars_ == ssVertical || scrollBars_ == ssBoth};
    const int sw = GetSystemMetrics(SM_CXVSCROLL), sh = GetSystemMetrics(SM_CYHSCROLL);
    for (int k = 0; k < 2; ++k) {
        auto* sb = static_cast<QScrollBar*>(scrollBarWidgets_[k]);
        if (!show[k]) {
            if (sb)
                sb->hide();
            continue;
        }
        if (!sb) {
            sb = new QScrollBar(k == sbVertical ? Qt::Vertical : Qt::Horizontal, widget_);
            sb->setFocusPolicy(Qt::NoFocus);
            scrollBarWidgets_[k] = sb;
            const auto kind = TScrollBarKind(k);
            auto send = [this, kind](int code, int pos) {
                Guard([&] { return (kind == sbVertical ? WMVScroll(code, pos) : WMHScroll(code, pos)), true; });
            };
            // The thumb follows the pointer while it is dragged (the control hears each track position
            // and may ignore it); every other action leaves the position to the control, which sets
            // it as it answers. After a release the thumb stands where the control put the position.
            auto answering = std::make_shared<bool>(false);
            auto settle = [this, sb, kind] {
                QSignalBlocker block(sb);
                sb->setValue(scrollInfo_[kind].Pos);
            };
            QObject::connect(sb, &QAbstractSlider::actionTriggered, sb, [sb, send, answering](int action) {
                int code;
                switch (action) {
                case QAbstractSlider::SliderSingleStepAdd:
                    code = SB_LINEDOWN;
                    break;
                case QAbstractSlider::SliderSingleStepSub:
                    code = SB_LINEUP;
                    break;
                case QAbstractSlider::SliderPageStepAdd:
                    code = SB_PAGEDOWN;
                    break;
                case QAbstractSlider::SliderPageStepSub:
                    code = SB_PAGEUP;
                    break;
                case QAbstractSlider::SliderToMinimum:
                    code = SB_TOP;
                    break;
                case QAbstractSlider::SliderToMaximum:
                    code = SB_BOTTOM;
                    break;
                case QAbstractSlider::SliderMove:
                    code = SB_THUMBTRACK;
                    break;
                default:
                    return;
                }
                const int pos = sb->sliderPosition();
                const bool dragged = action == QAbstractSlider::SliderMove && sb->isSliderDown();
                *answering = true;
                if (!dragged)
                    sb->setSliderPosition(sb->value());
                // The thumb moved without a drag (the wheel over the bar): as if dragged there.
                if (action == QAbstractSlider::SliderMove && !dragged) {
                    send(SB_THUMBPOSITION, pos);
                    code = SB_ENDSCROLL;
                }
                send(code, pos);
                *answering = false;
            });
            QObject::connect(sb, &QAbstractSlider::sliderReleased, sb, [sb, send, settle] {
                const int pos = sb->sliderPosition();
                send(SB_THUMBPOSITION, pos);
                send(SB_ENDSCROLL, pos);
                settle();
            });
            // A value set from outside an action and a drag (the menu's "Scroll here"): the thumb is
            // placed there, as if dragged and released.
            QObject::connect(sb, &QAbstractSlider::valueChanged, sb, [sb, send, settle, answering](int value) {
                if (*answering || sb->isSliderDown())
                    return;
                send(SB_THUMBPOSITION, value);
                send(SB_ENDSCROLL, value);
                settle();
            });
        }
        scrollBarOwed_[k] = false;
        applyScrollInfo(sb, scrollInfo_[k], scrollBarEnabled_[k]);
        if (k == sbVertical)
            sb->setGeometry(width_ - b - sw, b, sw, std::max(0, height_ - 2 * b - (show[0] ? sh : 0)));
        else
            sb->setGeometry(b, height_ - b - sh, std::max(0, width_ - 2 * b - (show[1] ? sw : 0)), sh);
        sb->show();
    }
}

void TWinControl::WMHScroll(int, int) {}
void TWinControl::WMVScroll(int, int) {}

// ---- timers ----

void TWinControl::SetTimer(int id, int milliseconds) {
    QTimer*& t = timers_[id];
    if (!t) {
        t = new QTimer();
        QObject::connect(t, &QTimer::timeout, t, [this, id] { Guard([&] { return WMTimer(id), true; }); });
    }
    t->start(std::max(milliseconds, 1));
}

void TWinControl::KillTimer(int id) {
    // The timer object stays for a later SetTimer; it may be the one calling.
    if (auto it = timers_.find(id); it != timers_.end())
        it->second->stop();
}

void TWinControl::WMTimer(int) {}

// ---- painting ----

void TWinControl::paintControls(TCanvas& canvas) {
    const TPoint base = canvas.Origin();
    for (TControl* c : std::vector<TControl*>(controls_)) {
        if (dynamic_cast<TWinControl*>(c) || !c->Visible())
            continue;
        canvas.SaveClip();
        canvas.SetOrigin({base.X + c->Left(), base.Y + c->Top()});
        canvas.IntersectClipRect(c->ClientRect());
        canvas.SetFont(*c->Font());
        canvas.Brush()->SetColor(c->Color());
        canvas.Pen()->SetColor(clBlack);
        canvas.SetCopyMode(SRCCOPY);
        c->Paint(canvas);
        canvas.SetOrigin(base);
        canvas.RestoreClip();
    }
}

void TWinControl::PaintWindow(TCanvas& canvas) { PaintWindow(canvas, Rect(0, 0, width_, height_)); }

void TWinControl::PaintWindow(TCanvas& canvas, const TRect& area) {
    const TPoint base = canvas.Origin();
    const int b = border_ ? 2 : 0;
    if (border_)
        canvas.DrawEdge(Rect(0, 0, width_, height_), EDGE_SUNKEN);
    if (scrollBars_ == ssBoth) {
        canvas.Brush()->SetColor(clBtnFace);
        canvas.FillRect(Rect(width_ - b - GetSystemMetrics(SM_CXVSCROLL), height_ - b - GetSystemMetrics(SM_CYHSCROLL),
                             width_ - b, height_ - b));
    }
    const TRect update = IntersectRect(OffsetRect(area, -b, -b), ClientRect());
    if (update.IsEmpty())
        return;
    canvas.SetOrigin({base.X + b, base.Y + b});
    canvas.SetClipRect(update);
    canvas.SetFont(*Font());
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(update);
    // A nested paint (a picture of the control taken while it paints) keeps its own area.
    const TRect savedRect = updateRect_;
    TFlagGuard inPaint(painting_);
    updateRect_ = update;
    try {
        Paint(canvas);
    } catch (...) {
        updateRect_ = savedRect;
        throw;
    }
    updateRect_ = savedRect;
    canvas.SetFont(*Font());
    paintControls(canvas);
}

double TWinControl::DevicePixelRatio() const {
    return widget_ ? widget_->devicePixelRatioF() : 1.0;
}

void TWinControl::ScrollWindow(int dx, int dy, const TRect& rect) {
    if (!widget_ || (dx == 0 && dy == 0))
        return;
    const TRect r = IntersectRect(rect, ClientRect());
    if (r.IsEmpty())
        return;
    const int b = border_ ? 2 : 0;
    if (scrolledUnpainted_) {
        widget_->update(ToQRect(OffsetRect(r, b, b)));
        return;
    }
    widget_->scroll(dx, dy, ToQRect(OffsetRect(r, b, b)));
    scrolledUnpainted_ = true;
}

void TWinControl::PaintTo(TBitmap& bitmap) {
    HandleNeeded();
    QImage img = widget_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    bitmap.Image() = img;
}

// ---- window events ----

namespace {
// Logical pixels per step at which a device pixel ratio lands on whole device pixels (2 for 1.5, 4 for
// 1.25); 0 when no small step does.
int wholeDeviceStep(double ratio) {
    for (int k = 1; k <= 8; ++k)
        if (std::abs(k * ratio - std::round(k * ratio)) < 1e-6)
            return k;
    return 0;
}

// The part grown to whole steps, so that its picture starts on a device pixel and meets the pictures
// of neighbouring parts without a seam.
QRect alignedPart(const QRect& area, double ratio, const QRect& whole) {
    const int k = wholeDeviceStep(ratio);
    if (k == 0)
        return whole;
    if (k == 1)
        return area;
    auto down = [k](int v) { return v >= 0 ? v / k * k : -((-v + k - 1) / k * k); };
    const int l = down(area.left()), t = down(area.top());
    const int r = -down(-(area.right() + 1)), b = -down(-(area.bottom() + 1));
    return QRect(l, t, r - l, b - t) & whole;
}
} // namespace

bool WidgetEvents::Paint(TWinControl* c, QWidget* w, QPaintEvent* e) {
    c->scrolledUnpainted_ = false;
    if (!c->OwnerDrawn())
        return true;
    // Only what the window system asks for is painted, each part composed in memory and then copied
    // at once. A few separate parts (a row that came in at the bottom, a cell at the top) are painted
    // one by one; a region of many pieces as the one rectangle around it. The picture holds the
    // screen's device pixels (a device pixel ratio above 1 on a dense screen), so text, lines and
    // glyphs are drawn at full resolution while the controls keep their logical geometry.
    constexpr int kMostParts = 8;
    const QRegion region = e->region() & w->rect();
    const double ratio = w->devicePixelRatioF();
    QPainter p(w);
    // A handler that raises while a part is painted leaves that part as far as it got: what was
    // painted is still shown (never the pixels of before), and the failure is told once for the
    // whole paint, after every part.
    std::exception_ptr failure;
    auto paintPart = [&](QRect area) {
        area = alignedPart(area, ratio, w->rect());
        if (area.isEmpty())
            return;
        QImage img(int(std::lround(area.width() * ratio)), int(std::lround(area.height() * ratio)),
                   QImage::Format_RGB32);
        img.setDevicePixelRatio(ratio);
        img.fill(ToPixel(c->Color()));
        {
            TCanvas canvas(&img);
            canvas.SetTargetPlace({area.x(), area.y()});
            canvas.SetOrigin({-area.x(), -area.y()});
            try {
                c->PaintWindow(canvas, FromQRect(area));
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        p.drawImage(area.topLeft(), img);
    };
    if (region.rectCount() > kMostParts)
        paintPart(region.boundingRect());
    else
        for (const QRect& area : region)
            paintPart(area);
    if (failure)
        std::rethrow_exception(failure);
    return false;
}

namespace {
TMouseButton buttonOf(Qt::MouseButton b) {
    return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}
} // namespace

bool WidgetEvents::Mouse(TWinControl* c, QMouseEvent* e) {
    const int b = c->Ctl3DBorder() ? 2 : 0;
    TPoint p{int(e->position().x()) - b, int(e->position().y()) - b};
    TControl* target = c;
    TControl* cap = CaptureControl();
    if (cap && (cap == c || cap->Parent() == c))
        target = cap;
    else if (TControl* child = c->ControlAtPos(p))
        target = child;
    if (!target->Enabled())
        return false;
    if (target != c)
        p = {p.X - target->Left(), p.Y - target->Top()};
    TShiftState shift = ShiftFromQt(e->modifiers(), e->buttons());
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        // A windowless control keeps the mouse until the button is released.
        if (target != c && !cap)
            target->SetMouseCapture(true);
        target->DispatchMouseDown(buttonOf(e->button()), shift, p.X, p.Y);
        break;
    case QEvent::MouseButtonDblClick:
        target->DispatchDblClick(buttonOf(e->button()), shift, p.X, p.Y);
        break;
    case QEvent::MouseButtonRelease:
        target->DispatchMouseUp(buttonOf(e->button()), shift, p.X, p.Y);
        if (target != c && CaptureControl() == target && e->buttons() == Qt::NoButton)
            target->SetMouseCapture(false);
        break;
    case QEvent::MouseMove:
        target->DispatchMouseMove(shift, p.X, p.Y);
        break;
    default:
        break;
    }
    return true;
}

bool WidgetEvents::Wheel(TWinControl* c, QWheelEvent* e) {
    QPoint g = e->globalPosition().toPoint();
    return !c->DispatchMouseWheel(ShiftFromQt(e->modifiers(), e->buttons()), e->angleDelta().y(), {g.x(), g.y()});
}

namespace {
// Typed text goes, byte by byte, to the control that has the focus when each byte arrives (a key
// handler may move the focus, to an in-place editor for instance).
void dispatchText(TWinControl* c, const QString& text) {
    int refused = 0;
    const AnsiString bytes = FromQStringRefusing(text, refused);
    // A character the code page cannot hold is refused as a key the control does not take is, with a
    // beep; it never arrives as "?".
    if (refused > 0)
        MessageBeep();
    for (char byte : bytes) {
        TForm* form = c->GetParentForm();
        TWinControl* target = form && form != c && form->ActiveControl() ? form->ActiveControl() : c;
        target->DispatchChar(byte);
    }
}
} // namespace

bool WidgetEvents::KeyPress(TWinControl* c, QKeyEvent* e) {
    Word key = KeyFromQt(e->key());
    TShiftState shift = ShiftFromQt(e->modifiers());
    if (e->key() == Qt::Key_Backtab)
        shift.Include(ssShift);
    if (key) {
        c->DispatchKeyDown(key, shift);
        if (key == 0)
            return false;
    }
    QString text = e->text();
    // Ctrl+Enter types a line feed, as the platform's keyboard does; the window system may give it
    // as a carriage return or as nothing.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier)
        text = QStringLiteral("\n");
    if (text.isEmpty())
        return true;
    dispatchText(c, text);
    return false;
}

bool WidgetEvents::KeyRelease(TWinControl* c, QKeyEvent* e) {
    Word key = KeyFromQt(e->key());
    if (key)
        c->DispatchKeyUp(key, ShiftFromQt(e->modifiers()));
    return key != 0;
}

void WidgetEvents::InputMethod(TWinControl* c, QInputMethodEvent* e,
                               const std::function<void(QInputMethodEvent*)>& native) {
    if (c->ImeMode() == imDisable)
        return;
    if (e->commitString().isEmpty()) {
        // Composition only: a native edit shows it, unless the control would refuse the text (the
        // edit would otherwise take the selection away as the composition starts). Ending a
        // composition is always shown.
        if (native && (e->preeditString().isEmpty() || c->AcceptsComposition()))
            native(e);
        return;
    }
    // The composition shown so far goes, the committed text is typed as keys are (KeyPress first,
    // byte by byte, to the control with the focus), and a composition that goes on is shown again.
    QWidget* w = c->Widget();
    if (native) {
        QInputMethodEvent clear;
        native(&clear);
    }
    dispatchText(c, e->commitString());
    if (native && !e->preeditString().isEmpty() && c->Widget() == w && c->AcceptsComposition()) {
        QInputMethodEvent more(e->preeditString(), e->attributes());
        native(&more);
    }
}

void WidgetEvents::Focus(TWinControl* c, bool in) {
    if (in) {
        if (TForm* f = c->GetParentForm(); f && f != c)
            f->SetFocusedControl(c);
        c->WMSetFocus();
    } else {
        c->WMKillFocus();
    }
    // A table that gains the focus tells a listening reader its current cell.
    accessibility::TableChanged(c);
}

void WidgetEvents::Resized(TWinControl* c, QWidget* w) {
    if (auto f = dynamic_cast<TForm*>(c); f && !c->Parent())
        f->WindowResized(w->width(), w->height());
}

bool WidgetEvents::Close(TWinControl* c) {
    if (auto f = dynamic_cast<TForm*>(c))
        return f->WindowClosing();
    return true;
}
