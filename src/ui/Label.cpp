#include "ui/Label.h"

#include "ui/WinControl.h"

void TLabel::DefineProperties(ClassInfo& info) {
    info.Add("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize);
    info.Add("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
    info.Add("Alignment", &TLabel::Alignment, &TLabel::SetAlignment);
    info.Add("Transparent", &TLabel::Transparent, &TLabel::SetTransparent);
    info.Add("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap);
    info.Add("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar);
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TLabel::SetAutoSize(bool v) {
    autoSize_ = v;
    adjustBounds();
}

void TLabel::SetFocusControl(TWinControl* c) {
    if (c == focusControl_)
        return;
    if (focusControl_)
        RemoveFreeNotification(focusControl_);
    focusControl_ = c;
    if (c)
        FreeNotification(c);
}

void TLabel::Notification(TComponent* component, Operation operation) {
    TGraphicControl::Notification(component, operation);
    if (operation == Operation::Remove && component == focusControl_)
        focusControl_ = nullptr;
}

void TLabel::SetAlignment(TAlignment v) {
    alignment_ = v;
    Invalidate();
}

void TLabel::SetTransparent(bool v) {
    transparent_ = v;
    Invalidate();
}

void TLabel::SetWordWrap(bool v) {
    wordWrap_ = v;
    adjustBounds();
}

void TLabel::SetShowAccelChar(bool v) {
    showAccelChar_ = v;
    adjustBounds();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    adjustBounds();
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    adjustBounds();
}

unsigned TLabel::textFlags() const {
    unsigned f = DT_EXPANDTABS | (wordWrap_ ? unsigned(DT_WORDBREAK) : 0u) | (showAccelChar_ ? 0u : unsigned(DT_NOPREFIX));
    return f | (alignment_ == taRightJustify ? unsigned(DT_RIGHT) : alignment_ == taCenter ? unsigned(DT_CENTER) : 0u);
}

void TLabel::adjustBounds() {
    if (!autoSize_ || Loading())
        return;
    TCanvas measure(nullptr);
    measure.SetFont(*Font());
    TRect r = Rect(0, 0, wordWrap_ ? Width() : 0, 0);
    // An empty caption still takes one line's height.
    measure.DrawText(Caption().empty() ? AnsiString(" ") : Caption(), r, textFlags() | DT_CALCRECT);
    int w = Caption().empty() ? 0 : r.Width();
    SetBounds(alignment_ == taRightJustify ? Left() + Width() - w : Left(), Top(), wordWrap_ ? Width() : w,
              r.Height());
}

void TLabel::Paint(TCanvas& canvas) {
    TRect r = ClientRect();
    if (!transparent_) {
        canvas.Brush()->SetColor(Color());
        canvas.FillRect(r);
    }
    canvas.Brush()->SetStyle(bsClear);
    if (Enabled()) {
        canvas.DrawText(Caption(), r, textFlags());
    } else {
        // The disabled look: an embossed copy in highlight under the text in shadow.
        TRect shifted = OffsetRect(r, 1, 1);
        canvas.Font()->SetColor(clBtnHighlight);
        canvas.DrawText(Caption(), shifted, textFlags());
        canvas.Font()->SetColor(clBtnShadow);
        canvas.DrawText(Caption(), r, textFlags());
    }
}
