#pragma once
// TkxMemoDialog: the modal editor the grid opens with F2 on a memo cell. It shows the memo field's
// text (through AsString, in the process code page) in a multi-line box over OK and Cancel buttons
// from the library's dialog button factory, in the grid's font. It is read-only when the field, the
// grid or its column cannot be changed; then it never puts the dataset into edit state. OK with a
// changed text puts the dataset into edit state through the grid's data link and writes the text;
// Cancel (its button, Escape or the window's close) with a changed text first asks kxProcessIntl's
// MemoChangesWarning, and No keeps the dialog open. One dialog is made per F2 and freed after it.
#include "ui/Buttons.h"
#include "ui/Edit.h"
#include "ui/Form.h"

class TField;
class TkxCustomDBGrid;

class TkxMemoDialog : public TForm {
    MORVANE_CLASS(TkxMemoDialog, TForm)
public:
    TkxMemoDialog(TComponent* owner, TkxCustomDBGrid* grid, TField* field);

    TMemo* Memo() const { return memo_; }
    TButton* OKButton() const { return ok_; }
    TButton* CancelButton() const { return cancel_; }
    bool ReadOnly() const { return readOnly_; }
    // The box's text differs from the field's text it was filled with.
    bool Changed() const;

    // Shows the dialog modally; true when the field was written.
    bool Execute();

protected:
    bool CloseQuery() override;

private:
    TkxCustomDBGrid* grid_;
    TField* field_;
    TMemo* memo_ = nullptr;
    TButton* ok_ = nullptr;
    TButton* cancel_ = nullptr;
    AnsiString original_;
    bool readOnly_ = false;
};
