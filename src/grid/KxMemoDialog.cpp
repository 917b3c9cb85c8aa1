// The memo dialog and the grid's F2 on a memo cell. A dialog is a small form made and freed per use.
#include "grid/KxMemoDialog.h"

#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/support/KxDialogButtons.h"
#include "grid/support/KxIntl.h"
#include "ui/Dialogs.h"

namespace {
constexpr int kGap = 8;
constexpr int kButtonWidth = 75, kButtonHeight = 25;

// Whether the grid lets this field of the current column be changed.
bool writable(const TkxCustomDBGrid* grid, const TField* field) {
    if (!field->CanModify() || !grid->EditingAllowed() || grid->DataLink().ReadOnly()) return false;
    return !grid->ColumnAt(grid->Col() - grid->IndicatorOffset()).ReadOnly();
}
} // namespace

TkxMemoDialog::TkxMemoDialog(TComponent* owner, TkxCustomDBGrid* grid, TField* field)
    : TForm(owner), grid_(grid), field_(field) {
    SetBorderStyle(bsDialog);
    SetBorderIcons({TBorderIcon::biSystemMenu});
    SetCaption(field->DisplayName());
    SetFont(*grid->Font());
    SetClientWidth(420);
    SetClientHeight(260);
    readOnly_ = !writable(grid, field);

    memo_ = new TMemo(this);
    memo_->SetParent(this);
    memo_->SetAutoSelect(false);
    memo_->SetBounds(kGap, kGap, ClientWidth() - 2 * kGap, ClientHeight() - 3 * kGap - kButtonHeight);
    original_ = field->AsString();
    memo_->SetText(original_);
    memo_->SetReadOnly(readOnly_);

    ok_ = kxCreateDialogButton(this, kxbOK);
    cancel_ = kxCreateDialogButton(this, kxbCancel);
    const int top = ClientHeight() - kGap - kButtonHeight;
    cancel_->SetBounds(ClientWidth() - kGap - kButtonWidth, top, kButtonWidth, kButtonHeight);
    ok_->SetBounds(cancel_->Left() - kGap - kButtonWidth, top, kButtonWidth, kButtonHeight);
    ok_->Show();
    cancel_->Show();
    SetActiveControl(memo_);
}

bool TkxMemoDialog::Changed() const {
    return !readOnly_ && memo_->GetText() != original_;
}

bool TkxMemoDialog::CloseQuery() {
    if (!TForm::CloseQuery()) return false;
    if (ModalResult() == mrOk || !Changed()) return true;
    const AnsiString warning = CreateProcessIntl()->UserMessages()->MemoChangesWarning();
    return MessageBox(warning, "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool TkxMemoDialog::Execute() {
    if (ShowModal() != mrOk || !Changed()) return false;
    // As the in-place editor's transfer: the record goes into edit state through the grid's link.
    TkxGridDataLink& link = grid_->DataLink();
    if (!link.Edit()) return false;
    field_->SetAsString(memo_->GetText());
    return true;
}

// ---- the grid's side ----

void TkxDBGrid::SetMemoAttributes(TkxMemoAttributes v) {
    if (v == memoAttributes_) return;
    memoAttributes_ = v;
    Invalidate();
}

void TkxDBGrid::OpenMemoDialog() {
    TField* field = MappedField(Col() - IndicatorOffset());
    if (!field || !IsMemoField(field) || !DataLink().Active()) return;
    {
        TkxMemoDialog dialog(nullptr, this, field);
        dialog.Execute();
    }
    InvalidateCell(Col(), Row());
    // The keys come back to the grid.
    if (CanFocus()) SetFocus();
}
