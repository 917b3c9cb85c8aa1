#pragma once
// A top-level window: its frame (border style, icons, caption), its stored position and outer size,
// the client area its controls fill, the focused control and keyboard navigation between controls,
// scaling of its stored description to the screen, showing, closing and modal use.
#include "ui/WinControl.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSmallSet<TBorderIcon>;
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TForm : public TWinControl {
    MORVANE_CLASS_PROPS(TForm, TWinControl)
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle v);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons v);
    bool OldCreateOrder() const { return oldCreateOrder_; }
    void SetOldCreateOrder(bool v) { oldCreateOrder_ = v; }
    // The resolution and text height the stored description was designed at.
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int v) { pixelsPerInch_ = v; }
    int TextHeight() const { return textHeight_; }
    void SetTextHeight(int v) { textHeight_ = v; }

    // The frame: border thickness on each side and the caption bar's height.
    int FrameWidth() const;
    int CaptionHeight() const;
    TRect ClientRect() const override;

    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* c);
    // Moves the focus to a control of this form ("Cannot focus a disabled or invisible window" when it
    // cannot take it). While the form is not shown the control only becomes the active control.
    void FocusControl(TWinControl* c);
    // Focus to the first control in tab order that is a tab stop and can take the focus.
    void SelectFirst();
    // The form's navigation keys (Tab, arrows) and Escape, which presses the cancel button (a visible,
    // enabled TButton marked Cancel); true when the key was used.
    virtual bool DialogKey(Word key, TShiftState shift);

    // Loading the stored description: BeginLoading marks the form and every component it owns as
    // loading (stored switches are only remembered, alignment waits); EndLoading sends the loaded
    // notifications in description order: the form first, then each component when its description
    // ends: controls after the controls inside them, in the order of their parents' lists, then the
    // other components in `others` order (creation order when empty).
    void BeginLoading();
    void EndLoading(const std::vector<TComponent*>& others = {});
    std::vector<TComponent*> LoadedOrder(const std::vector<TComponent*>& others = {}) const;

    // Applies the design scaling after the stored description was read: at another screen resolution
    // the font height is scaled first, then, when the text height measured in that font differs from
    // the stored one, every position and size and the client size.
    void ApplyDesignScaling();
    // The creation handler, after the description is loaded; an exception it raises is shown by the
    // application and building goes on.
    void DoCreate();

    void SetVisible(bool v) override;
    void Close();
    // Shows the form and runs messages until it has a modal result (a button's, or mrCancel when it is
    // closed), then hides it. A result set while the form is shown must pass CloseQuery first; a
    // refusal clears it and the form stays. With MORVANE_DIALOGS=auto and no ModalFormHook nobody can
    // answer: the form is hidden at once with mrCancel.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int v) { modalResult_ = v; }
    bool Active() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnActivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // The framework's own notifications.
    void SetFocusedControl(TWinControl* c);
    void ControlRemoved(TWinControl* c);
    void WindowResized(int clientWidth, int clientHeight);
    bool WindowClosing();

protected:
    void CreateWnd() override;
    TRect WidgetGeometry() const override;
    void TextChanged() override;
    void VisibleChanged() override;
    virtual bool CloseQuery();

private:
    void applyWindowFlags();

    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
    bool oldCreateOrder_ = false;
    int pixelsPerInch_ = 96;
    int textHeight_ = 13;
    TWinControl* activeControl_ = nullptr;
    TWinControl* focusedControl_ = nullptr;
    int modalResult_ = mrNone;
    bool closing_ = false;
};

// Told of each turn of every modal loop, with the form, before the loop looks for messages; tests
// drive modal forms with it. While it is set the loop does not wait for the window system.
extern std::function<void(TForm* form)> ModalFormHook;
