#pragma once
// A one-line edit box realised by a native edit widget: text in the process code page, read-only,
// a length limit in bytes of the code page, selection, and OnChange at every change of the text.
// Typed characters pass KeyPress first (a double-byte character arrives as its two bytes and is
// inserted whole); what KeyPress lets through is edited as the platform's edit box does.
#include "ui/WinControl.h"

class QLineEdit;

class TCustomEdit : public TWinControl {
    MORVANE_CLASS_PROPS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* owner);

    const AnsiString& GetText() const override;
    void SetText(const AnsiString& v) override;
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    // 0: no limit.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int v);
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool v) { autoSelect_ = v; }
    bool BorderSingle() const { return borderSingle_; }
    void SetBorderSingle(bool v);
    bool Modified() const { return modified_; }
    void SetModified(bool v) { modified_ = v; }

    // Selection in bytes of the code page.
    int SelStart() const;
    void SetSelStart(int v);
    int SelLength() const;
    void SetSelLength(int v);
    AnsiString SelText() const;
    void SetSelText(const AnsiString& v);
    void SelectAll();
    void Clear() { SetText(""); }
    void ClearSelection();
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();
    void Undo();

    TNotifyEvent OnChange;
    int DialogCode() const override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

protected:
    QWidget* CreateWidget(QWidget* parent) override;
    void CreateWnd() override;
    bool OwnerDrawn() const override { return false; }
    void DefaultChar(char key) override;
    void DoEnter() override;
    virtual void Change();
    QLineEdit* Edit() const;

private:
    void textEdited();
    mutable AnsiString text_;
    bool readOnly_ = false;
    int maxLength_ = 0;
    bool autoSelect_ = true;
    bool borderSingle_ = true;
    bool modified_ = false;
    bool settingText_ = false;
    char pendingLead_ = 0;
};

class TEdit : public TCustomEdit {
    MORVANE_CLASS(TEdit, TCustomEdit)
public:
    explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};
