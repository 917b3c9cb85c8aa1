#pragma once
// The grid's date/time picker: a data-bound edit for a date/time field that the grid creates the first
// time a date/time column becomes current, binds to that column's field, places over the current cell,
// shows, hides and focuses. It reads a text date with its own pivot for two-digit years (Epoch, taken
// from the grid library's settings when it is made). Alt+Down drops a month calendar down under it,
// showing the field's date (today for a null field); a day chosen there is written into the field with
// the field's time of day kept, unless the picker is read-only.
//
// Cost: the calendar is made on the first drop-down and kept with the picker.
#include "ui/DBEdit.h"

class TDropDownCalendar;

class TkxDBCustomDateTimePicker : public TDBEdit {
    MORVANE_CLASS_PROPS(TkxDBCustomDateTimePicker, TDBEdit)
public:
    explicit TkxDBCustomDateTimePicker(TComponent* owner);

    // Two-digit years are read into the hundred years from Epoch on.
    int Epoch() const { return epoch_; }
    void SetEpoch(int v) { epoch_ = v; }

    // Opens the calendar under the picker; closes it without a choice.
    void DropDown();
    void CloseUp();
    bool DroppedDown() const;
    // The calendar, once it has dropped down (null before).
    TDropDownCalendar* Calendar() const { return calendar_; }

protected:
    // A text that is a whole date (the locale's order) is stored as that date, with two-digit years
    // after Epoch; any other text goes to the field's own conversion.
    void WriteField(TField* field, const AnsiString& text) override;
    void KeyDown(Word& key, TShiftState shift) override;

private:
    // The date the calendar opens on: a typed whole date, else the field's, else today.
    TDateTime shownDate() const;
    void daySelected(TDateTime day);

    int epoch_ = 1950;
    TDropDownCalendar* calendar_ = nullptr; // owned as a component
};

class TkxDBDateTimePicker : public TkxDBCustomDateTimePicker {
    MORVANE_CLASS(TkxDBDateTimePicker, TkxDBCustomDateTimePicker)
public:
    explicit TkxDBDateTimePicker(TComponent* owner) : TkxDBCustomDateTimePicker(owner) {}
};
