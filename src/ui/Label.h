#pragma once
// A label: a caption drawn on its parent, sized to its text (AutoSize), optionally naming the window
// control its accelerator focuses (FocusControl, cleared when that control is freed).
#include "ui/GraphicControl.h"

class TWinControl;

class TLabel : public TGraphicControl {
    MORVANE_CLASS_PROPS(TLabel, TGraphicControl)
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* c);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool v);

    void Paint(TCanvas& canvas) override;
    void Loaded() override;

protected:
    void Notification(TComponent* component, Operation operation) override;
    void TextChanged() override { adjustBounds(); }
    void FontChanged() override;

private:
    unsigned textFlags() const;
    void adjustBounds();
    bool autoSize_ = true;
    TWinControl* focusControl_ = nullptr;
    TAlignment alignment_ = taLeftJustify;
    bool transparent_ = false;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
};
