#pragma once
// A control with a window of its own: children, alignment of children, tab order and focus, the
// keyboard, scroll bars, window timers and the mouse wheel. The window (a Qt widget) is created
// lazily: HandleAllocated says whether it exists, HandleNeeded creates it with its parents'.
#include "ui/Control.h"

#include <map>
#include <memory>
#include <vector>

class QWidget;
class QEvent;
class QTimer;
class TBitmap;
class IAccessibleTable;

using TKeyEvent = std::function<void(TObject* sender, Word& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

// Dialog codes: the keys a control handles itself instead of the form's navigation.
enum : int { DLGC_WANTARROWS = 0x1, DLGC_WANTTAB = 0x2, DLGC_WANTALLKEYS = 0x4, DLGC_WANTCHARS = 0x80 };
// Scroll bars, and the actions reported for them.
enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum : int { SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
             SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8 };
enum : int { SB_LINELEFT = SB_LINEUP, SB_LINERIGHT = SB_LINEDOWN, SB_PAGELEFT = SB_PAGEUP, SB_PAGERIGHT = SB_PAGEDOWN,
             SB_LEFT = SB_TOP, SB_RIGHT = SB_BOTTOM };
// How an input method serves the control. Only imDisable has an effect on this platform (no input
// method for the control); the others are kept for the control's settings.
enum TImeMode { imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata, imKata, imChinese,
                imSHanguel, imHanguel };
struct TScrollInfo {
    int Min = 0;
    int Max = 0;
    int Page = 0;
    int Pos = 0;
};

class TWinControl : public TControl {
    MORVANE_CLASS_PROPS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    int ControlCount() const { return int(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(size_t(index)); }
    // The topmost visible, enabled child without a window at a client point, or null.
    TControl* ControlAtPos(TPoint p) const;

    bool HandleAllocated() const { return widget_ != nullptr; }
    // Device pixels per logical pixel of the screen the window shows on (1 without a window).
    double DevicePixelRatio() const;
    // Creates the window (and its parents'). A window control without a parent becomes a pop-up
    // window at its bounds in screen coordinates, shown while Visible (a cell hint, for instance).
    void HandleNeeded();
    QWidget* Widget() const { return widget_; }  // the framework's own
    // Destroys the window (and the children's); it is created again when needed.
    void DestroyHandle();

    // Laying out the aligned children: disabled while loading and between DisableAlign/EnableAlign.
    void DisableAlign() { ++alignLevel_; }
    void EnableAlign();
    void Realign() { AlignControls(); }
    TRect ClientRect() const override;

    int TabOrder() const;
    void SetTabOrder(int v);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool v) { tabStop_ = v; }
    // The window controls inside this one, in tab order, depth first.
    void GetTabOrderList(std::vector<TWinControl*>& list) const;
    // The next (or previous) child control after `current` that can take the focus.
    TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const;
    void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

    virtual bool CanFocus() const;
    virtual void SetFocus();
    bool Focused() const;
    // Which keys this control handles itself (DLGC_...); the rest navigate the form.
    virtual int DialogCode() const { return 0; }
    // What a control that paints a table tells assistive technology (ui/Accessible.h); null for others.
    virtual IAccessibleTable* AccessibleTable() { return nullptr; }
    TImeMode ImeMode() const { return imeMode_; }
    void SetImeMode(TImeMode v);
    const AnsiString& ImeName() const { return imeName_; }
    void SetImeName(const AnsiString& v) { imeName_ = v; }

    // Scroll bars in the window's frame; their range and position are this control's to set.
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle v);
    TScrollInfo GetScrollInfo(TScrollBarKind bar) const { return scrollInfo_[bar]; }
    void SetScrollInfo(TScrollBarKind bar, const TScrollInfo& info);
    int GetScrollPos(TScrollBarKind bar) const { return scrollInfo_[bar].Pos; }
    void SetScrollPos(TScrollBarKind bar, int pos);
    // As SetScrollInfo; but when only the position changes, the bar on the screen takes it when the
    // event loop next runs, once however many positions came before: for a control that moves many
    // times between two paints (GetScrollInfo answers the new values at once).
    void SetScrollInfoSoon(TScrollBarKind bar, const TScrollInfo& info);
    // A bar that cannot scroll stays visible but disabled: one whose range is no longer than its page,
    // and one the control disables here.
    void EnableScrollBar(TScrollBarKind bar, bool enabled);
    // A sunken two-pixel frame around the client area (a grid's or an edit's border).
    bool Ctl3DBorder() const { return border_; }
    void SetCtl3DBorder(bool v);

    // Window timers: WMTimer(id) every `milliseconds` until KillTimer(id).
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);

    // Paints the whole control with its children into a bitmap (its picture as the screen shows it).
    void PaintTo(TBitmap& bitmap);
    // The framework's own, called from the window events: the whole window, or only the part `area`
    // (window coordinates, the border included) that needs painting.
    void PaintWindow(TCanvas& canvas);
    void PaintWindow(TCanvas& canvas, const TRect& area);
    // The part of the client area the paint in progress must cover, in client coordinates; the whole
    // client area when no paint is in progress. Drawing outside it is clipped away, so a control that
    // draws only what meets it paints the same picture for less.
    TRect UpdateRect() const { return painting_ ? updateRect_ : ClientRect(); }
    // Moves the picture inside `rect` (client coordinates) by dx, dy pixels and invalidates the band
    // the move uncovered, as a list scrolled by a few lines repaints only the lines that came in.
    // Pending invalidations inside the rectangle move with the picture. Nothing without a window.
    // A scroll before the last one was painted invalidates the rectangle instead: moving the
    // picture again and again (a walk over many records) would cost more than one paint.
    void ScrollWindow(int dx, int dy, const TRect& rect);

    // Keyboard entry points (the window sends these; tests and the grid may too).
    // Handles a key going down as the platform does: the form's navigation keys first, then KeyDown.
    void DispatchKeyDown(Word& key, TShiftState shift);
    void DispatchKeyUp(Word& key, TShiftState shift);
    // One byte of typed text in the process code page (a double-byte character comes as two).
    void DispatchChar(char key);
    bool DispatchMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TMouseWheelEvent OnMouseWheel;

    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(TWinControl* parent) override;
    void SetCursor(TCursor c) override;
    void Invalidate() override;
    void Repaint() override;
    void Loaded() override;
    void ChangeScale(int m, int d) override;

    // Focus changes, as the form reports them.
    virtual void DoEnter();
    virtual void DoExit();
    // The window gained or lost the keyboard focus.
    virtual void WMSetFocus();
    virtual void WMKillFocus();
    virtual void WMTimer(int id);
    virtual void WMHScroll(int code, int pos);
    virtual void WMVScroll(int code, int pos);
    virtual void KeyDown(Word& key, TShiftState shift);
    // Where a context menu asked for from the keyboard opens, in client coordinates: the middle of
    // the client area unless the control knows a better place (a grid: its current cell).
    virtual TPoint KeyboardMenuPoint() const;
    virtual void KeyUp(Word& key, TShiftState shift);
    virtual void KeyPress(char& key);

protected:
    // What a typed character does after KeyPress let it through (an edit inserts it).
    virtual void DefaultChar(char) {}
    // Whether an input method may show its composition (the text being put together before it is
    // committed) in the control now; a control that would refuse the committed text answers false,
    // so that no composition changes what it shows. Asked only of controls with a native edit widget.
    virtual bool AcceptsComposition() { return true; }
    virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
    virtual bool DoMouseWheelDown(TShiftState shift, TPoint mousePos);
    virtual bool DoMouseWheelUp(TShiftState shift, TPoint mousePos);
    // Creates the window; a control realised by a Qt widget of its own kind overrides it.
    virtual QWidget* CreateWidget(QWidget* parent);
    // The window exists: apply the control's state to it.
    virtual void CreateWnd();
    // Shrinks the client rectangle for borders and bevels before children are aligned.
    virtual void AdjustClientRect(TRect& r) const;
    virtual void AlignControls();
    // Does the window paint through Paint (true) or draw itself (a native edit)?
    virtual bool OwnerDrawn() const { return true; }
    void FontChanged() override;
    void ColorChanged() override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    void Resize() override;
    // Pushes bounds, visibility and enabled state to the window.
    void UpdateWidgetBounds();
    void UpdateWidgetPalette();
    virtual TRect WidgetGeometry() const;

private:
    friend class TControl;
    friend struct WidgetEvents;
    void insertControl(TControl* c);
    void removeControl(TControl* c);
    void layoutScrollBars();
    void paintControls(TCanvas& canvas);

    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    QWidget* widget_ = nullptr;
    int alignLevel_ = 0;
    bool tabStop_ = false;
    bool border_ = false;
    TScrollStyle scrollBars_ = ssNone;
    TScrollInfo scrollInfo_[2];
    bool scrollBarEnabled_[2] = {true, true};
    QWidget* scrollBarWidgets_[2] = {nullptr, nullptr};
    bool scrollBarOwed_[2] = {false, false};  // the bar's widget still shows an older position
    std::map<int, QTimer*> timers_;
    bool painting_ = false;
    TRect updateRect_;
    bool scrolledUnpainted_ = false;  // a scroll's picture is not painted yet
    TImeMode imeMode_ = imDontCare;
    AnsiString imeName_;
};
