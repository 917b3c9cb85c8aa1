#pragma once
// A data-bound edit box: it shows the field DataField of the current record of DataSource's dataset
// (the display text, the edit text while it has the focus and can edit), follows every move and
// change of the dataset, and writes typed text back into the field when the record is updated.
// Read-only, it shows the field and takes the focus but never changes it.
#include "ui/Edit.h"

#include <memory>

class TDataSource;
class TField;

class TDBEdit : public TCustomEdit {
    MORVANE_CLASS_PROPS(TDBEdit, TCustomEdit)
public:
    explicit TDBEdit(TComponent* owner);
    ~TDBEdit() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    const AnsiString& DataField() const { return dataField_; }
    void SetDataField(const AnsiString& name);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    // The bound field of the open dataset, or null.
    TField* Field() const;

    void Loaded() override;

protected:
    // Writes the edit's text into the field when the record is updated (the field's own conversion).
    virtual void WriteField(TField* field, const AnsiString& text);
    // Puts the dataset into edit state through the edit's link when the edit may change its field;
    // answers whether the field may be written now (false when read-only or unbound).
    bool EditField();
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    bool AcceptsComposition() override;
    void Change() override;
    void DoEnter() override;
    void DoExit() override;
    void Notification(TComponent* component, Operation operation) override;

private:
    friend class DBEditLink;
    void dataChanged();
    void updateData();
    bool canEdit() const;

    std::unique_ptr<class DBEditLink> link_;
    AnsiString dataField_;
    bool readOnly_ = false;
    bool focused_ = false;
    bool loadingText_ = false;
    bool modified_ = false;
};
