#pragma once
// The grid's date/time picker: a data-bound edit for a date/time field that the grid creates the first
// time a date/time column becomes current, binds to that column's field, places over the current cell,
// shows, hides and focuses. It reads a text date with its own pivot for two-digit years (Epoch, taken
// from the grid library's settings when it is made). It has no drop-down calendar.
#include "ui/DBEdit.h"

class TkxDBCustomDateTimePicker : public TDBEdit {
    MORVANE_CLASS_PROPS(TkxDBCustomDateTimePicker, TDBEdit)
public:
    explicit TkxDBCustomDateTimePicker(TComponent* owner);

    // Two-digit years are read into the hundred years from Epoch on.
    int Epoch() const { return epoch_; }
    void SetEpoch(int v) { epoch_ = v; }

protected:
    // A text that is a whole date (the locale's order) is stored as that date, with two-digit years
    // after Epoch; any other text goes to the field's own conversion.
    void WriteField(TField* field, const AnsiString& text) override;

private:
    int epoch_ = 1950;
};

class TkxDBDateTimePicker : public TkxDBCustomDateTimePicker {
    MORVANE_CLASS(TkxDBDateTimePicker, TkxDBCustomDateTimePicker)
public:
    explicit TkxDBDateTimePicker(TComponent* owner) : TkxDBCustomDateTimePicker(owner) {}
};
