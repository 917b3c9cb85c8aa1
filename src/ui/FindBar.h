#pragma once
// The find bar: a strip holding a one-line find box, docked by its owner at the bottom of a list. The
// owner searches; the bar asks it as the text changes (direction 0: from the current item on), on
// Enter (1: the next match) and Shift+Enter (-1: the previous one), and tells it of Escape
// (OnClose). A search that finds nothing tints the box and beeps; the next change clears the tint.
// The box is an edit box, so it holds only text of the code page: what an input method, the
// clipboard or a UTF-8 locale brings is converted first, and what the code page lacks is refused.
#include "ui/Edit.h"
#include "ui/Panel.h"

#include <functional>

class TFindBar : public TPanel {
    MORVANE_CLASS(TFindBar, TPanel)
public:
    explicit TFindBar(TComponent* owner);

    TEdit* Box() const { return box_; }
    // Asks OnFind for the box's text, as the box does itself; nothing for an empty text.
    void Find(int direction);
    // The last search found nothing (the box is tinted).
    bool NotFound() const { return notFound_; }
    // Puts the focus into the box with its text selected.
    void FocusBox();

    std::function<bool(const AnsiString& text, int direction)> OnFind;
    TNotifyEvent OnClose;

    static constexpr TColor kNotFoundColor = RGB(255, 170, 170);

private:
    void showOutcome(bool found);
    TEdit* box_;
    bool notFound_ = false;
};
