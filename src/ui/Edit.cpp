#include "ui/Edit.h"

#include "ui/QtBridge.h"
#include "ui/WidgetBridge.h"

#include <QLineEdit>
#include <QValidator>

using namespace bridge;

namespace {
// The length limit counts bytes of the code page, as the platform's edit box of that code page does.
class ByteLimit : public QValidator {
public:
    explicit ByteLimit(QObject* parent, int limit) : QValidator(parent), limit_(limit) {}
    State validate(QString& input, int&) const override {
        return limit_ <= 0 || int(FromQString(input).size()) <= limit_ ? Acceptable : Invalid;
    }
    int limit_;
};

int bytesBefore(const QString& s, int chars) { return int(FromQString(s.left(chars)).size()); }

int charsBefore(const QString& s, int bytes) {
    int chars = 0;
    while (chars < s.size() && bytesBefore(s, chars + 1) <= bytes)
        ++chars;
    return chars;
}
} // namespace

void TCustomEdit::DefineProperties(ClassInfo& info) {
    info.Add("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly);
    info.Add("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength);
    info.Add("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect);
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 21);
    SetCursor(crIBeam);
}

QWidget* TCustomEdit::CreateWidget(QWidget* parent) { return new BridgeWidget<QLineEdit>(this, parent); }

QLineEdit* TCustomEdit::Edit() const { return static_cast<QLineEdit*>(Widget()); }

void TCustomEdit::CreateWnd() {
    TWinControl::CreateWnd();
    QLineEdit* e = Edit();
    e->setFocusPolicy(Qt::ClickFocus);
    e->setFrame(borderSingle_);
    e->setReadOnly(readOnly_);
    e->setValidator(new ByteLimit(e, maxLength_));
    settingText_ = true;
    e->setText(ToQString(text_));
    settingText_ = false;
    QObject::connect(e, &QLineEdit::textChanged, e, [this] { Guard([&] { return textEdited(), true; }); });
}

void TCustomEdit::textEdited() {
    text_ = FromQString(Edit()->text());
    if (!settingText_)
        modified_ = true;
    Change();
}

const AnsiString& TCustomEdit::GetText() const { return text_; }

void TCustomEdit::SetText(const AnsiString& v) {
    if (Widget()) {
        if (v != text_)
            Edit()->setText(ToQString(v));  // reports the change through textChanged
        return;
    }
    if (v == text_)
        return;
    text_ = v;
    Change();
}

void TCustomEdit::Change() {
    if (OnChange)
        OnChange(this);
}

void TCustomEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    if (Widget())
        Edit()->setReadOnly(v);
}

void TCustomEdit::SetMaxLength(int v) {
    maxLength_ = std::max(v, 0);
    if (Widget())
        Edit()->setValidator(new ByteLimit(Edit(), maxLength_));
}

void TCustomEdit::SetBorderSingle(bool v) {
    borderSingle_ = v;
    if (Widget())
        Edit()->setFrame(v);
}

int TCustomEdit::SelStart() const {
    if (!Widget())
        return 0;
    QLineEdit* e = Edit();
    int start = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
    return bytesBefore(e->text(), start);
}

void TCustomEdit::SetSelStart(int v) {
    HandleNeeded();
    Edit()->setCursorPosition(charsBefore(Edit()->text(), v));
}

int TCustomEdit::SelLength() const {
    if (!Widget() || !Edit()->hasSelectedText())
        return 0;
    return int(FromQString(Edit()->selectedText()).size());
}

void TCustomEdit::SetSelLength(int v) {
    HandleNeeded();
    QLineEdit* e = Edit();
    int startBytes = SelStart();
    int start = charsBefore(e->text(), startBytes);
    int end = charsBefore(e->text(), startBytes + std::max(v, 0));
    e->setSelection(start, end - start);
}

AnsiString TCustomEdit::SelText() const { return Widget() ? FromQString(Edit()->selectedText()) : AnsiString(); }

void TCustomEdit::SetSelText(const AnsiString& v) {
    HandleNeeded();
    Edit()->insert(ToQString(v));
}

void TCustomEdit::SelectAll() {
    HandleNeeded();
    Edit()->selectAll();
}

void TCustomEdit::ClearSelection() {
    if (Widget() && Edit()->hasSelectedText() && !readOnly_)
        Edit()->del();
}

void TCustomEdit::CutToClipboard() {
    if (Widget() && !readOnly_)
        Edit()->cut();
}

void TCustomEdit::CopyToClipboard() {
    if (Widget())
        Edit()->copy();
}

void TCustomEdit::PasteFromClipboard() {
    if (Widget() && !readOnly_)
        Edit()->paste();
}

void TCustomEdit::Undo() {
    if (Widget())
        Edit()->undo();
}

void TCustomEdit::DoEnter() {
    if (autoSelect_ && Widget())
        Edit()->selectAll();
    TWinControl::DoEnter();
}

void TCustomEdit::DefaultChar(char key) {
    HandleNeeded();
    QLineEdit* e = Edit();
    auto byte = static_cast<unsigned char>(key);
    if (pendingLead_) {
        // The trail byte completes a double-byte character.
        char both[2] = {pendingLead_, key};
        pendingLead_ = 0;
        if (!readOnly_)
            e->insert(ToQString(std::string_view(both, 2)));
        return;
    }
    if (byte >= 0x80 && codepage::IsLeadByte(byte)) {
        pendingLead_ = key;
        return;
    }
    switch (byte) {
    case 1:
        e->selectAll();
        return;
    case 3:
        e->copy();
        return;
    case 8:
        if (!readOnly_)
            e->backspace();
        return;
    case 22:
        if (!readOnly_)
            e->paste();
        return;
    case 24:
        if (!readOnly_)
            e->cut();
        else
            e->copy();
        return;
    case 26:
        e->undo();
        return;
    default:
        if (byte >= 32 && !readOnly_)
            e->insert(ToQString(std::string_view(&key, 1)));
    }
}
