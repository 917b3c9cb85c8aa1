// The grid's date/time picker: a data-bound edit that reads two-digit years after its own epoch and
// drops a month calendar down on Alt+Down.
#include "grid/KxDBDateTimePicker.h"

#include "data/Field.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/support/KxIntl.h"
#include "ui/DropDownCalendar.h"

#include <cmath>
#include <ctime>

namespace {
TDateTime today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}
} // namespace

void TkxDBCustomDateTimePicker::DefineProperties(ClassInfo& info) {
    info.Add("Epoch", &TkxDBCustomDateTimePicker::Epoch, &TkxDBCustomDateTimePicker::SetEpoch);
}

TkxDBCustomDateTimePicker::TkxDBCustomDateTimePicker(TComponent* owner) : TDBEdit(owner) {
    if (kxProcessIntl) epoch_ = kxProcessIntl->DefaultEpochYear();
}

void TkxDBCustomDateTimePicker::WriteField(TField* field, const AnsiString& text) {
    TDateTime date;
    if (TkxCustomDBGrid::ScanDate(text, date, epoch_))
        field->SetAsDateTime(date);
    else
        field->SetText(text);
}

void TkxDBCustomDateTimePicker::KeyDown(Word& key, TShiftState shift) {
    if (key == VK_DOWN && shift == TShiftState{ssAlt}) {
        DropDown();
        key = 0;
        return;
    }
    TDBEdit::KeyDown(key, shift);
}

TDateTime TkxDBCustomDateTimePicker::shownDate() const {
    TDateTime date;
    if (Modified() && TkxCustomDBGrid::ScanDate(Text(), date, epoch_)) return date;
    TField* f = Field();
    return f && !f->IsNull() ? f->AsDateTime() : today();
}

void TkxDBCustomDateTimePicker::DropDown() {
    if (!calendar_) {
        calendar_ = new TDropDownCalendar(this);
        calendar_->OnSelect = [this](TObject*, TDateTime day) { daySelected(day); };
        // Whichever way the calendar closes, the keys are the picker's again.
        calendar_->OnCloseUp = [this](TObject*) {
            if (Visible() && CanFocus()) SetFocus();
        };
    }
    // The year box's texts are the library's, read at every drop-down.
    if (kxProcessIntl) {
        calendar_->SetYearHint(kxProcessIntl->MonthCalendar()->PopupYearLabel());
        calendar_->SetYearPrompt(kxProcessIntl->MonthCalendar()->EnterYearPrompt());
    }
    calendar_->DropDown(this, shownDate());
}

void TkxDBCustomDateTimePicker::CloseUp() {
    if (calendar_) calendar_->CloseUp();
}

bool TkxDBCustomDateTimePicker::DroppedDown() const {
    return calendar_ && calendar_->DroppedDown();
}

void TkxDBCustomDateTimePicker::daySelected(TDateTime day) {
    // A read-only picker shows its calendar but changes nothing.
    TField* f = Field();
    if (!f || !EditField()) return;
    // The day is the calendar's; the time of day stays the field's.
    TDateTime time = 0;
    if (!f->IsNull()) {
        const TDateTime old = f->AsDateTime();
        time = std::fabs(old - std::trunc(old));
    }
    day = std::trunc(day);
    f->SetAsDateTime(day < 0 ? day - time : day + time);
}
