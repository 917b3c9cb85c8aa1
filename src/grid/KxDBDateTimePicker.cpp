// The grid's date/time picker: a data-bound edit that reads two-digit years after its own epoch.
#include "grid/KxDBDateTimePicker.h"

#include "data/Field.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/support/KxIntl.h"

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
