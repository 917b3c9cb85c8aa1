#pragma once
// The Qt widget behind a window control, for the framework's own sources only. Every event the
// window receives is handed to WidgetEvents, which turns it into the control's operations; a native
// widget (an edit box) keeps its own behaviour for what the control lets through.
#include "ui/Application.h"
#include "ui/WinControl.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <QWidget>

#include <functional>
#include <type_traits>

struct WidgetEvents {
    // Each answers true when the native widget's own handling should follow.
    static bool Paint(TWinControl* c, QWidget* w, QPaintEvent* e);
    static bool Mouse(TWinControl* c, QMouseEvent* e);
    static bool Wheel(TWinControl* c, QWheelEvent* e);
    static bool KeyPress(TWinControl* c, QKeyEvent* e);
    static bool KeyRelease(TWinControl* c, QKeyEvent* e);
    // Text an input method commits is typed into the control as keys are; `native` (null for a
    // widget of our own) shows the composition in a native edit widget.
    static void InputMethod(TWinControl* c, QInputMethodEvent* e, const std::function<void(QInputMethodEvent*)>& native);
    static void Focus(TWinControl* c, bool in);
    static void Resized(TWinControl* c, QWidget* w);
    static bool Close(TWinControl* c);
};

// Runs a handler from the window system: an exception must not cross Qt's event loop, so it is shown
// by the application (and the program goes on); the answer is then false.
template <class F> bool Guard(F&& f) {
    try {
        return f();
    } catch (const std::exception& e) {
        Application->HandleException(nullptr, e);
        return false;
    }
}

// The window control a widget belongs to (null for widgets of other kinds).
TWinControl* ControlOfWidget(const QWidget* w);

template <class Base> class BridgeWidget : public Base {
public:
    BridgeWidget(TWinControl* control, QWidget* parent) : Base(parent) {
        this->setProperty("morvaneControl", QVariant::fromValue<void*>(control));
        this->setAttribute(Qt::WA_InputMethodEnabled, true);
        // The platform tells a window of every pointer move over it, a button held or not.
        this->setMouseTracking(true);
        if constexpr (std::is_same_v<Base, QWidget>)
            this->setAttribute(Qt::WA_OpaquePaintEvent, true);
    }

protected:
    static constexpr bool native = !std::is_same_v<Base, QWidget>;
    bool event(QEvent* e) override {
        // Tab belongs to the control and the form's navigation, not to Qt's focus chain.
        if (ctl() && e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
                keyPressEvent(k);
                return true;
            }
        }
        return Base::event(e);
    }
    void paintEvent(QPaintEvent* e) override {
        if (!ctl() || Guard([&] { return WidgetEvents::Paint(ctl(), this, e); }))
            Base::paintEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override { mouse(e, [&] { Base::mousePressEvent(e); }); }
    void mouseReleaseEvent(QMouseEvent* e) override { mouse(e, [&] { Base::mouseReleaseEvent(e); }); }
    void mouseMoveEvent(QMouseEvent* e) override { mouse(e, [&] { Base::mouseMoveEvent(e); }); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mouse(e, [&] { Base::mouseDoubleClickEvent(e); }); }
    void leaveEvent(QEvent* e) override {
        Base::leaveEvent(e);
        if (ctl())
            Guard([&] { return ctl()->DispatchMouseLeave(), true; });
    }
    void wheelEvent(QWheelEvent* e) override {
        if (ctl() && Guard([&] { return WidgetEvents::Wheel(ctl(), e); }) && native)
            Base::wheelEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (ctl() && Guard([&] { return WidgetEvents::KeyPress(ctl(), e); }) && native)
            Base::keyPressEvent(e);
        e->accept();
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (ctl() && Guard([&] { return WidgetEvents::KeyRelease(ctl(), e); }) && native)
            Base::keyReleaseEvent(e);
        e->accept();
    }
    void inputMethodEvent(QInputMethodEvent* e) override {
        if (!ctl())
            return;
        std::function<void(QInputMethodEvent*)> nativeStep;
        if constexpr (native)
            nativeStep = [this](QInputMethodEvent* ev) { Base::inputMethodEvent(ev); };
        Guard([&] { return WidgetEvents::InputMethod(ctl(), e, nativeStep), true; });
        e->accept();
    }
    QVariant inputMethodQuery(Qt::InputMethodQuery q) const override {
        if constexpr (native)
            return Base::inputMethodQuery(q);
        if (q == Qt::ImEnabled)
            return true;
        return Base::inputMethodQuery(q);
    }
    // A window of our own repaints what the focus changes in it itself (a grid its selection), as the
    // platform's windows do; Qt's own handler would repaint all of it at every focus change.
    void focusInEvent(QFocusEvent* e) override {
        if constexpr (native)
            Base::focusInEvent(e);
        if (ctl())
            Guard([&] { return WidgetEvents::Focus(ctl(), true), true; });
    }
    void focusOutEvent(QFocusEvent* e) override {
        if constexpr (native)
            Base::focusOutEvent(e);
        if (ctl())
            Guard([&] { return WidgetEvents::Focus(ctl(), false), true; });
    }
    void resizeEvent(QResizeEvent* e) override {
        Base::resizeEvent(e);
        if (ctl())
            Guard([&] { return WidgetEvents::Resized(ctl(), this), true; });
    }
    void closeEvent(QCloseEvent* e) override {
        if (ctl() && !Guard([&] { return WidgetEvents::Close(ctl()); }))
            e->ignore();
        else
            Base::closeEvent(e);
    }

private:
    // The control, looked up at every event: a control going away clears it first.
    TWinControl* ctl() const { return ControlOfWidget(this); }
    template <class F> void mouse(QMouseEvent* e, F base) {
        if (ctl() && Guard([&] { return WidgetEvents::Mouse(ctl(), e); }) && native)
            base();
        e->accept();
    }
};
