#pragma once
// A visual component: a place in its parent's client area, visibility, enabled state, alignment,
// colour, font and caption, and the mouse. Controls without a window of their own (TGraphicControl)
// are painted by their parent and receive the mouse through it.
#include "core/Component.h"
#include "ui/Graphics.h"
#include "ui/Keys.h"
#include "ui/Screen.h"

#include <functional>

class TWinControl;
class TCanvas;
class IContextMenu;
class TForm;
using TObject = TPersistent;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TMouseWheelEvent = std::function<void(TObject* sender, TShiftState shift, int wheelDelta, TPoint mousePos, bool& handled)>;

class TControl : public TComponent {
    MORVANE_CLASS_PROPS(TControl, TComponent)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
    // The area children and painting use, in the control's own coordinates.
    virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientWidth(int v) { SetWidth(width_ - ClientWidth() + v); }
    virtual void SetClientHeight(int v) { SetHeight(height_ - ClientHeight() + v); }
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // Where the client area's (0, 0) lies in the parent's client coordinates.
    TPoint ClientOrigin() const;

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a showing window.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign v);

    TColor Color() const { return color_; }
    void SetColor(TColor v);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v);
    TFont* Font() { return &font_; }
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& f) { font_.Assign(f); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);
    // Caption and Text are the same text (buttons and labels show it as caption, edits as text).
    const AnsiString& Caption() const { return GetText(); }
    void SetCaption(const AnsiString& v) { SetText(v); }
    virtual const AnsiString& GetText() const { return text_; }
    virtual void SetText(const AnsiString& v);
    const AnsiString& Text() const { return GetText(); }
    TCursor Cursor() const { return cursor_; }
    virtual void SetCursor(TCursor c) { cursor_ = c; }
    const AnsiString& Hint() const { return hint_; }
    void SetHint(const AnsiString& v) { hint_ = v; }
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }

    // Repaints the control soon (Invalidate) or at once (Repaint).
    virtual void Invalidate();
    void InvalidateRect(const TRect& r);
    virtual void Repaint();
    void Update();
    // The form the control sits on (following parents), or null.
    TForm* GetParentForm() const;
    // Mouse capture: while set, every mouse message goes to this control.
    bool MouseCapture() const;
    void SetMouseCapture(bool v);

    // Events, fired by the virtual operations below.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;

    // Input the framework delivers (the public entry points are the framework's; override the virtuals).
    void DispatchMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void DispatchMouseMove(TShiftState shift, int x, int y);
    void DispatchMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void DispatchMouseLeave();
    void DispatchDblClick(TMouseButton button, TShiftState shift, int x, int y);

    // The context menu: the right button released over the control (and, for a window control, the
    // Menu key or Shift+F10 while it has the focus) pops up the items PopupMenu() answers then and
    // runs the chosen one's action. None by default; the menu is not owned.
    IContextMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(IContextMenu* menu) { popupMenu_ = menu; }
    // Pops the context menu up at a client point; nothing without one.
    void ContextPopup(TPoint clientPos);

    // Painting of a windowless control into its parent's canvas, and of a window's client area.
    virtual void Paint(TCanvas& canvas);
    void Loaded() override;
    virtual void Click();
    virtual void DblClick();
    // Rescales position and size by m / d (form scaling); controls with own sizes override.
    virtual void ChangeScale(int m, int d);

protected:
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    // The pointer left the control: whatever hovering lit goes out.
    virtual void MouseLeave() {}
    virtual void Resize();
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void TextChanged() {}
    virtual void EnabledChanged();
    virtual void VisibleChanged();
    // Tells the parent to lay its aligned children out again.
    void RequestAlign();
    // A parent's font or colour changed: follow it where ParentFont/ParentColor says so.
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;

private:
    friend class TWinControl;
    TWinControl* parent_ = nullptr;
    bool visible_ = true;
    bool enabled_ = true;
    TAlign align_ = alNone;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    TFont font_;
    bool parentFont_ = true;
    bool updatingFont_ = false;
    AnsiString text_;
    AnsiString hint_;
    TCursor cursor_ = crDefault;
    int tag_ = 0;
    bool pressed_ = false;
    IContextMenu* popupMenu_ = nullptr;
};

// The control holding the mouse capture, or null.
TControl* CaptureControl();
