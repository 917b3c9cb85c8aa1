#include "ui/Control.h"

#include "core/Exception.h"
#include "ui/Form.h"
#include "ui/PopupMenu.h"
#include "ui/WinControl.h"

#include <QGuiApplication>
#include <QPoint>
#include <QWidget>

namespace {
// The control every mouse message goes to while it holds the capture.
TControl* captureControl = nullptr;
} // namespace

void TControl::DefineProperties(ClassInfo& info) {
    info.Add("Left", &TControl::Left, &TControl::SetLeft);
    info.Add("Top", &TControl::Top, &TControl::SetTop);
    info.Add("Width", &TControl::Width, &TControl::SetWidth);
    info.Add("Height", &TControl::Height, &TControl::SetHeight);
    info.Add("Visible", &TControl::Visible, &TControl::SetVisible);
    info.Add("Enabled", &TControl::Enabled, &TControl::SetEnabled);
    info.Add("Align", &TControl::Align, &TControl::SetAlign);
    info.Add("Color", &TControl::Color, &TControl::SetColor);
    info.Add("ParentColor", &TControl::ParentColor, &TControl::SetParentColor);
    info.Add("ParentFont", &TControl::ParentFont, &TControl::SetParentFont);
    info.Add("Caption", &TControl::Caption, &TControl::SetCaption);
    info.Add("Text", &TControl::Text, &TControl::SetText);
    info.Add("Cursor", &TControl::Cursor, &TControl::SetCursor);
    info.Add("Hint", &TControl::Hint, &TControl::SetHint);
    info.Add("Tag", &TControl::Tag, &TControl::SetTag);
    info.AddProperty({"Font", [](const TPersistent& o) { return PropValue(const_cast<TFont*>(&static_cast<const TControl&>(o).Font())); },
                      [](TPersistent& o, const PropValue& v) {
                          if (auto p = std::get_if<TPersistent*>(&v))
                              if (auto f = dynamic_cast<const TFont*>(*p))
                                  static_cast<TControl&>(o).SetFont(*f);
                      }});
}

TControl::TControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange = [this](TGraphicsObject*) {
        if (!updatingFont_)
            parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (captureControl == this)
        captureControl = nullptr;
    if (parent_)
        parent_->removeControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_)
        return;
    // The control itself, or one inside it, would become its own ancestor: every walk up the
    // parents (the form, fonts, focus) would never end.
    for (const TControl* p = parent; p; p = p->Parent())
        if (p == this)
            throw EInvalidOperation("A control cannot have itself or one of its children as its parent");
    if (parent_) {
        parent_->Invalidate();
        parent_->removeControl(this);
    }
    if (parent)
        parent->insertControl(this);
    if (parent_) {
        ParentFontChanged();
        ParentColorChanged();
        RequestAlign();
        Invalidate();
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    bool resized = width != width_ || height != height_;
    if (parent_ && !dynamic_cast<TWinControl*>(this))
        parent_->InvalidateRect(BoundsRect());
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    RequestAlign();
    Invalidate();
    if (resized)
        Resize();
}

TPoint TControl::ClientOrigin() const {
    TPoint p{left_, top_};
    if (auto w = dynamic_cast<const TWinControl*>(this); w && w->Ctl3DBorder())
        p.X += 2, p.Y += 2;
    return p;
}

TPoint TControl::ClientToScreen(TPoint p) const {
    const TControl* c = this;
    for (; c->parent_; c = c->parent_) {
        TPoint o = c->ClientOrigin();
        p.X += o.X;
        p.Y += o.Y;
    }
    auto top = dynamic_cast<const TWinControl*>(c);
    if (top && top->Widget()) {
        QPoint g = top->Widget()->mapToGlobal(QPoint(0, 0));
        return {p.X + g.x(), p.Y + g.y()};
    }
    return {p.X + c->left_, p.Y + c->top_};
}

TPoint TControl::ScreenToClient(TPoint p) const {
    TPoint o = ClientToScreen({0, 0});
    return {p.X - o.X, p.Y - o.Y};
}

void TControl::SetVisible(bool v) {
    if (v == visible_)
        return;
    if (!v && parent_ && !dynamic_cast<TWinControl*>(this))
        parent_->InvalidateRect(BoundsRect());
    visible_ = v;
    VisibleChanged();
}

void TControl::VisibleChanged() {
    RequestAlign();
    Invalidate();
}

bool TControl::Showing() const {
    if (!visible_)
        return false;
    if (parent_)
        return parent_->Showing();
    auto w = dynamic_cast<const TWinControl*>(this);
    return w && w->Widget() && w->Widget()->isVisible();
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_)
        return;
    enabled_ = v;
    EnabledChanged();
}

void TControl::EnabledChanged() { Invalidate(); }

void TControl::SetAlign(TAlign v) {
    if (v == align_)
        return;
    align_ = v;
    RequestAlign();
}

void TControl::SetColor(TColor v) {
    if (v == color_ && !parentColor_)
        return;
    color_ = v;
    parentColor_ = false;
    ColorChanged();
}

void TControl::SetParentColor(bool v) {
    parentColor_ = v;
    if (v)
        ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (parentColor_ && parent_ && parent_->Color() != color_) {
        color_ = parent_->Color();
        ColorChanged();
    }
}

void TControl::ColorChanged() { Invalidate(); }

void TControl::SetParentFont(bool v) {
    parentFont_ = v;
    if (v)
        ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (parentFont_ && parent_) {
        updatingFont_ = true;
        font_.Assign(*parent_->Font());
        updatingFont_ = false;
    }
}

void TControl::FontChanged() { Invalidate(); }

void TControl::SetText(const AnsiString& v) {
    if (v == text_)
        return;
    text_ = v;
    TextChanged();
    Invalidate();
}

void TControl::Invalidate() {
    if (parent_ && visible_)
        parent_->InvalidateRect(BoundsRect());
}

void TControl::InvalidateRect(const TRect& r) {
    if (auto w = dynamic_cast<TWinControl*>(this)) {
        if (w->Widget()) {
            TPoint o = w->Ctl3DBorder() ? TPoint{2, 2} : TPoint{};
            w->Widget()->update(r.Left + o.X, r.Top + o.Y, r.Width(), r.Height());
        }
        return;
    }
    if (parent_ && visible_)
        parent_->InvalidateRect(OffsetRect(IntersectRect(r, ClientRect()), left_, top_));
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::Update() {
    // Paints at once what is pending - the areas invalidated and not yet painted - and nothing else:
    // the window system's update request, delivered now instead of later.
    const TControl* c = this;
    while (c && !dynamic_cast<const TWinControl*>(c))
        c = c->parent_;
    auto w = static_cast<const TWinControl*>(c);
    if (!w || !w->Widget() || !w->Widget()->isVisible())
        return;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(w->Widget()->window(), &request);
}

TForm* TControl::GetParentForm() const {
    const TControl* c = this;
    while (c->parent_)
        c = c->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

bool TControl::MouseCapture() const { return captureControl == this; }

void TControl::SetMouseCapture(bool v) {
    if (v == MouseCapture())
        return;
    TControl* windowed = this;
    while (windowed && !dynamic_cast<TWinControl*>(windowed))
        windowed = windowed->parent_;
    QWidget* w = windowed ? static_cast<TWinControl*>(windowed)->Widget() : nullptr;
    if (v) {
        captureControl = this;
        // The offscreen platform has no pointer to grab; the capture still routes our messages.
        if (w && w->isVisible() && QGuiApplication::platformName() != QLatin1String("offscreen"))
            w->grabMouse();
    } else {
        captureControl = nullptr;
        if (w && QWidget::mouseGrabber() == w)
            w->releaseMouse();
    }
}

void TControl::DispatchMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft)
        pressed_ = true;
    MouseDown(button, shift, x, y);
}

void TControl::DispatchMouseMove(TShiftState shift, int x, int y) { MouseMove(shift, x, y); }

void TControl::DispatchMouseLeave() { MouseLeave(); }

void TControl::DispatchMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    bool click = button == mbLeft && pressed_;
    if (button == mbLeft)
        pressed_ = false;
    MouseUp(button, shift, x, y);
    // A click is a release over the control after a press on it.
    if (click && ClientRect().Contains({x, y}) && !Destroying())
        Click();
    // The platform asks for the context menu when the right button comes up over the control.
    if (button == mbRight && popupMenu_ && ClientRect().Contains({x, y}) && !Destroying())
        ContextPopup({x, y});
}

void TControl::ContextPopup(TPoint clientPos) {
    if (!popupMenu_)
        return;
    const std::vector<TMenuItemInfo> items = popupMenu_->ContextMenuItems();
    const int chosen = TrackPopupMenu(items, ClientToScreen(clientPos));
    if (chosen >= 0 && size_t(chosen) < items.size() && items[size_t(chosen)].Enabled && items[size_t(chosen)].Action)
        items[size_t(chosen)].Action();
}

void TControl::DispatchDblClick(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft)
        DblClick();
    MouseDown(button, shift + TShiftState{ssDouble}, x, y);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::Resize() {
    if (OnResize)
        OnResize(this);
}

void TControl::Paint(TCanvas&) {}

void TControl::Loaded() {
    TComponent::Loaded();
    RequestAlign();
}

void TControl::ChangeScale(int m, int d) {
    int l = MulDiv(left_, m, d), t = MulDiv(top_, m, d);
    int w = MulDiv(left_ + width_, m, d) - l, h = MulDiv(top_ + height_, m, d) - t;
    if (!parentFont_) {
        updatingFont_ = true;
        font_.SetHeight(MulDiv(font_.Height(), m, d));
        updatingFont_ = false;
    }
    SetBounds(l, t, w, h);
}

void TControl::RequestAlign() {
    if (parent_ && align_ != alNone)
        parent_->AlignControls();
}

TControl* CaptureControl() { return captureControl; }
