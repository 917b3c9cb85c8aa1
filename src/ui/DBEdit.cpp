#include "ui/DBEdit.h"

#include "data/DataLink.h"
#include "data/DataSource.h"
#include "data/Field.h"
#include "ui/Dialogs.h"

class DBEditLink : public TDataLink {
public:
    explicit DBEditLink(TDBEdit* edit) : edit_(edit) { SetVisualControl(true); }
    TField* field = nullptr;

    void bindField() {
        TDataSet* ds = Active() ? DataSet() : nullptr;
        field = ds && !edit_->DataField().empty() ? ds->FindField(edit_->DataField()) : nullptr;
    }

protected:
    void ActiveChanged() override {
        bindField();
        edit_->dataChanged();
    }
    void LayoutChanged() override {
        bindField();
        edit_->dataChanged();
    }
    void RecordChanged(TField* f) override {
        if (!f || f == field)
            edit_->dataChanged();
    }
    void EditingChanged() override { edit_->dataChanged(); }
    void UpdateData() override { edit_->updateData(); }
    void FocusControl(TField** f) override {
        if (*f && *f == field && edit_->CanFocus()) {
            *f = nullptr;
            edit_->SetFocus();
        }
    }

private:
    TDBEdit* edit_;
};

void TDBEdit::DefineProperties(ClassInfo& info) {
    info.Add("DataSource", &TDBEdit::DataSource, &TDBEdit::SetDataSource);
    info.Add("DataField", &TDBEdit::DataField, &TDBEdit::SetDataField);
    info.Add("ReadOnly", &TDBEdit::ReadOnly, &TDBEdit::SetReadOnly);
}

TDBEdit::TDBEdit(TComponent* owner) : TCustomEdit(owner), link_(std::make_unique<DBEditLink>(this)) {}

TDBEdit::~TDBEdit() {
    // The link goes first, so no notification reaches a half-destroyed edit.
    link_.reset();
}

TDataSource* TDBEdit::DataSource() const { return link_->DataSource(); }

void TDBEdit::SetDataSource(TDataSource* source) {
    if (TDataSource* old = link_->DataSource())
        RemoveFreeNotification(old);
    link_->SetDataSource(source);
    if (source)
        FreeNotification(source);
    link_->bindField();
    dataChanged();
}

void TDBEdit::Notification(TComponent* component, Operation operation) {
    TCustomEdit::Notification(component, operation);
    if (operation == Operation::Remove && link_ && component == link_->DataSource()) {
        link_->SetDataSource(nullptr);
        link_->field = nullptr;
        dataChanged();
    }
}

void TDBEdit::SetDataField(const AnsiString& name) {
    dataField_ = name;
    link_->bindField();
    dataChanged();
}

void TDBEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    link_->SetReadOnly(v);
    TCustomEdit::SetReadOnly(v);
}

TField* TDBEdit::Field() const { return link_->field; }

void TDBEdit::Loaded() {
    TCustomEdit::Loaded();
    link_->bindField();
    dataChanged();
}

bool TDBEdit::canEdit() const {
    TField* f = Field();
    return !readOnly_ && f && f->CanModify();
}

void TDBEdit::dataChanged() {
    if (Loading())
        return;
    TField* f = Field();
    AnsiString text;
    if (f)
        text = focused_ && canEdit() ? f->Text() : f->DisplayText();
    loadingText_ = true;
    SetText(text);
    loadingText_ = false;
    modified_ = false;
}

void TDBEdit::updateData() {
    if (TField* f = Field(); f && modified_)
        WriteField(f, Text());
    modified_ = false;
}

void TDBEdit::WriteField(TField* field, const AnsiString& text) { field->SetText(text); }

void TDBEdit::Change() {
    if (!loadingText_)
        modified_ = true;
    TCustomEdit::Change();
}

void TDBEdit::KeyDown(Word& key, TShiftState shift) {
    TCustomEdit::KeyDown(key, shift);
    if (key == VK_ESCAPE && modified_) {
        dataChanged();
        SelectAll();
        key = 0;
    } else if ((key == VK_DELETE || (key == VK_INSERT && shift.Contains(ssShift))) && !(canEdit() && link_->Edit())) {
        key = 0;
    }
}

void TDBEdit::KeyPress(char& key) {
    TCustomEdit::KeyPress(key);
    auto byte = static_cast<unsigned char>(key);
    // Typing changes the field: the dataset must go into edit state first.
    if ((byte >= 32 || byte == 8 || byte == 22 || byte == 24) && !(canEdit() && link_->Edit())) {
        key = 0;
        MessageBeep();
    }
}

bool TDBEdit::AcceptsComposition() { return EditField(); }

bool TDBEdit::EditField() { return canEdit() && link_->Edit(); }

void TDBEdit::DoEnter() {
    focused_ = true;
    dataChanged();
    TCustomEdit::DoEnter();
}

void TDBEdit::DoExit() {
    try {
        if (modified_)
            link_->UpdateRecord();
    } catch (...) {
        SelectAll();
        SetFocus();
        throw;
    }
    focused_ = false;
    dataChanged();
    TCustomEdit::DoExit();
}
