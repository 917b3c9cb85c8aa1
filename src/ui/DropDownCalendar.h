#pragma once
// A month calendar that drops down under a control as a pop-up window, the way a date box opens its
// calendar. It shows one date selected; the user moves through days, months and years with the
// keys, the arrows or the year box, and chooses a day with a click or Enter: the calendar closes and
// OnSelect reports the day. Escape, or a press anywhere outside it, closes it without a choice.
// OnCloseUp follows every closing, before OnSelect when a day was chosen.
//
// The year box (the calendar's own, opened from its year button) carries two texts the owner gives
// it: YearHint on the button, YearPrompt on the box.
//
// Cost: the window is made on the first drop-down and kept; a drop-down selects one date.
#include "core/Component.h"
#include "data/DBFormat.h"
#include "ui/Control.h"

#include <functional>
#include <memory>

class TWinControl;

using TDateSelectEvent = std::function<void(TObject* sender, TDateTime date)>;

class TDropDownCalendar : public TComponent {
    MORVANE_CLASS(TDropDownCalendar, TComponent)
public:
    explicit TDropDownCalendar(TComponent* owner);
    ~TDropDownCalendar() override;

    // Opens under `under` (its left edge, just below it) with the day of `date` selected; the
    // calendar takes the keyboard.
    void DropDown(TWinControl* under, TDateTime date);
    // Closes without a choice (nothing when closed).
    void CloseUp();
    bool DroppedDown() const;
    // The selected day (midnight), as the calendar shows it now.
    TDateTime Date() const;

    const AnsiString& YearHint() const { return yearHint_; }
    void SetYearHint(const AnsiString& v);
    const AnsiString& YearPrompt() const { return yearPrompt_; }
    void SetYearPrompt(const AnsiString& v);

    TDateSelectEvent OnSelect;
    TNotifyEvent OnCloseUp;

private:
    friend struct CalendarPopup;
    void choose(TDateTime date);
    void closed();
    void applyYearTexts();

    std::unique_ptr<struct CalendarPopup> popup_;
    AnsiString yearHint_;
    AnsiString yearPrompt_;
    bool droppedDown_ = false;
};
