#include "ui/Edit.h"

#include "ui/Dialogs.h"
#include "ui/QtBridge.h"
#include "ui/WidgetBridge.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <QValidator>

#include <algorithm>

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

// The native box is a line edit, or with word wrap a plain text edit; these serve both. Positions
// count characters of the QString.
QLineEdit* lineOf(QWidget* w) { return dynamic_cast<QLineEdit*>(w); }
QPlainTextEdit* memoOf(QWidget* w) { return dynamic_cast<QPlainTextEdit*>(w); }

QString boxText(QWidget* w) { return lineOf(w) ? lineOf(w)->text() : memoOf(w)->toPlainText(); }

void boxSetText(QWidget* w, const QString& s) {
    if (QLineEdit* e = lineOf(w))
        e->setText(s);
    else
        memoOf(w)->setPlainText(s);
}

// The selection as start and length; the caret with length 0 when nothing is selected.
void boxSelection(QWidget* w, int& start, int& length) {
    if (QLineEdit* e = lineOf(w)) {
        start = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
        length = e->hasSelectedText() ? int(e->selectedText().size()) : 0;
        return;
    }
    QTextCursor c = memoOf(w)->textCursor();
    start = c.selectionStart();
    length = c.selectionEnd() - c.selectionStart();
}

// Selects `length` characters from `start`, the caret at their end.
void boxSelect(QWidget* w, int start, int length) {
    if (QLineEdit* e = lineOf(w)) {
        if (length > 0)
            e->setSelection(start, length);
        else
            e->setCursorPosition(start);
        return;
    }
    QPlainTextEdit* m = memoOf(w);
    QTextCursor c = m->textCursor();
    c.setPosition(start);
    c.setPosition(start + length, QTextCursor::KeepAnchor);
    m->setTextCursor(c);
}

QString boxSelectedText(QWidget* w) {
    int start, length;
    boxSelection(w, start, length);
    return boxText(w).mid(start, length);
}

void boxInsert(QWidget* w, const QString& s) {
    if (QLineEdit* e = lineOf(w))
        e->insert(s);
    else
        memoOf(w)->insertPlainText(s);
}

// "\n" line breaks as "\r\n".
AnsiString withCrlf(const AnsiString& s) {
    AnsiString out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The native box holds "\n" line breaks.
QString boxTextOf(const AnsiString& v) {
    QString s = ToQString(v);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

// The text cut at its first line break: the box holds one paragraph.
QString firstLine(const QString& s) {
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == QLatin1Char('\r') || s[i] == QLatin1Char('\n'))
            return s.left(i);
    return s;
}
} // namespace

// What the native widget would otherwise do by itself: the middle button's paste, its context menu,
// drag and drop. Each is taken here and done through the box's own operations, which ask
// AcceptsComposition first. (A native paste inserted mime data behind the box's back: it crashed
// with no clipboard owner and bypassed the in-place editor's grid.)
class EditNativeInput : public QObject {
public:
    EditNativeInput(TCustomEdit* edit, QObject* parent) : QObject(parent), edit_(edit) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() != Qt::MiddleButton)
                return false;
            if (e->type() == QEvent::MouseButtonRelease && QGuiApplication::clipboard()->supportsSelection())
                Guard([&] { return edit_->PasteSelection(), true; });
            return true;
        }
        case QEvent::ContextMenu:
            menu(static_cast<QContextMenuEvent*>(e)->globalPos());
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* d = static_cast<QDragMoveEvent*>(e);
            if (d->mimeData()->hasText() && !edit_->ReadOnly()) {
                d->setDropAction(Qt::CopyAction);
                d->accept();
            } else {
                d->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* d = static_cast<QDropEvent*>(e);
            const QString text = d->mimeData()->text();
            // Dropped text is copied: the source keeps it.
            d->setDropAction(Qt::CopyAction);
            d->accept();
            Guard([&] { return edit_->insertPasted(text), true; });
            return true;
        }
        default:
            return false;
        }
    }

private:
    // The edit box's menu, each entry doing what its key does.
    void menu(const QPoint& at) {
        QWidget* w = edit_->Widget();
        const bool selected = edit_->SelLength() > 0, writable = !edit_->ReadOnly();
        QMenu m;
        QAction* undo = m.addAction(QStringLiteral("&Undo"));
        QLineEdit* line = lineOf(w);
        undo->setEnabled(writable && (line ? line->isUndoAvailable()
                                           : memoOf(w)->document()->isUndoAvailable()));
        m.addSeparator();
        QAction* cut = m.addAction(QStringLiteral("Cu&t"));
        cut->setEnabled(writable && selected);
        QAction* copy = m.addAction(QStringLiteral("&Copy"));
        copy->setEnabled(selected);
        QAction* paste = m.addAction(QStringLiteral("&Paste"));
        paste->setEnabled(writable && !QGuiApplication::clipboard()->text().isEmpty());
        QAction* del = m.addAction(QStringLiteral("&Delete"));
        del->setEnabled(writable && selected);
        m.addSeparator();
        QAction* all = m.addAction(QStringLiteral("Select &All"));
        const QPointer<QWidget> alive(w);
        QAction* chosen = m.exec(at);
        if (!chosen || !alive || edit_->Widget() != w)
            return;
        Guard([&] {
            if (chosen == undo)
                edit_->Undo();
            else if (chosen == cut)
                edit_->CutToClipboard();
            else if (chosen == copy)
                edit_->CopyToClipboard();
            else if (chosen == paste)
                edit_->PasteFromClipboard();
            else if (chosen == del)
                edit_->ClearSelection();
            else if (chosen == all)
                edit_->SelectAll();
            return true;
        });
    }

    TCustomEdit* edit_;
};

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

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner) {
    SetMultiLine(true);
    SetBounds(0, 0, 185, 89);
}

QWidget* TCustomEdit::CreateWidget(QWidget* parent) {
    if (!wordWrap_ && !multiLine_)
        return new BridgeWidget<QLineEdit>(this, parent);
    auto* m = new BridgeWidget<QPlainTextEdit>(this, parent);
    m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setVerticalScrollBarPolicy(multiLine_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m->setTabChangesFocus(true);
    m->document()->setDocumentMargin(multiLine_ ? 2 : 0);
    return m;
}

void TCustomEdit::CreateWnd() {
    TWinControl::CreateWnd();
    QWidget* w = Widget();
    w->setFocusPolicy(Qt::ClickFocus);
    settingText_ = true;
    if (QLineEdit* e = lineOf(w)) {
        e->setFrame(borderSingle_);
        e->setReadOnly(readOnly_);
        e->setValidator(new ByteLimit(e, maxLength_));
        e->setText(ToQString(text_));
        QObject::connect(e, &QLineEdit::textChanged, e, [this] { Guard([&] { return textEdited(), true; }); });
    } else {
        QPlainTextEdit* m = memoOf(w);
        m->setFrameShape(borderSingle_ ? QFrame::StyledPanel : QFrame::NoFrame);
        m->setReadOnly(readOnly_);
        m->setPlainText(boxTextOf(text_));
        QObject::connect(m, &QPlainTextEdit::textChanged, m, [this] { Guard([&] { return textEdited(), true; }); });
    }
    // A plain text edit receives the mouse and drops in its viewport.
    auto* input = new EditNativeInput(this, w);
    w->installEventFilter(input);
    if (QPlainTextEdit* m = memoOf(w))
        m->viewport()->installEventFilter(input);
    settingText_ = false;
    applyFormatRect();
}

void TCustomEdit::textEdited() {
    const QString now = boxText(Widget());
    int refused = 0;
    AnsiString text = FromQStringRefusing(now, refused);
    if (multiLine_ && crlf_)
        text = withCrlf(text);
    // One line takes no new line break; one it was given with its text stays (typing goes on).
    const bool newBreak = !multiLine_ && !wordWrap_ &&
                          now.count(QLatin1Char('\n')) > qsizetype(std::count(text_.begin(), text_.end(), '\n'));
    const bool fits = refused == 0 && !newBreak &&
                      (maxLength_ <= 0 || int(text.size()) <= maxLength_);
    if (!fits && !settingText_) {
        // The native box took something this edit cannot hold (a character the code page lacks, a
        // line break in one line, more than the limit; pasted or dropped): it goes back to what it held.
        const QSignalBlocker block(Widget());
        int start, length;
        boxSelection(Widget(), start, length);
        boxSetText(Widget(), boxTextOf(text_));
        boxSelect(Widget(), std::min(start, int(boxText(Widget()).size())), 0);
        MessageBeep();
        return;
    }
    if (!fits) {
        text = FromQString(now);
        if (multiLine_ && crlf_)
            text = withCrlf(text);
    }
    if (text == text_)
        return;
    text_ = text;
    if (!settingText_)
        modified_ = true;
    Change();
}

const AnsiString& TCustomEdit::GetText() const { return text_; }

void TCustomEdit::SetText(const AnsiString& v) {
    if (multiLine_)
        crlf_ = v.find("\r\n") != AnsiString::npos;
    if (Widget()) {
        if (v != text_) {
            settingText_ = true;
            try {
                boxSetText(Widget(), boxTextOf(v));  // reports the change through textChanged
            } catch (...) {
                settingText_ = false;
                throw;
            }
            settingText_ = false;
        }
        modified_ = false;
        return;
    }
    modified_ = false;
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
    if (QLineEdit* e = lineOf(Widget()))
        e->setReadOnly(v);
    else if (QPlainTextEdit* m = memoOf(Widget()))
        m->setReadOnly(v);
}

void TCustomEdit::SetMaxLength(int v) {
    maxLength_ = std::max(v, 0);
    if (QLineEdit* e = lineOf(Widget()))
        e->setValidator(new ByteLimit(e, maxLength_));
}

void TCustomEdit::SetBorderSingle(bool v) {
    borderSingle_ = v;
    if (QLineEdit* e = lineOf(Widget()))
        e->setFrame(v);
    else if (QPlainTextEdit* m = memoOf(Widget()))
        m->setFrameShape(v ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TCustomEdit::SetWordWrap(bool v) {
    if (v == wordWrap_)
        return;
    wordWrap_ = v;
    // The other kind of box: the window is made again, keeping text and selection.
    if (!Widget())
        return;
    const int start = SelStart(), length = SelLength();
    const bool focused = Focused();
    DestroyHandle();
    HandleNeeded();
    SetSelStart(start);
    SetSelLength(length);
    if (focused)
        Widget()->setFocus(Qt::OtherFocusReason);
}

void TCustomEdit::SetFormatRect(const TRect& r) {
    formatRect_ = r;
    applyFormatRect();
}

void TCustomEdit::applyFormatRect() {
    QWidget* w = Widget();
    if (!w)
        return;
    const bool own = formatRect_.IsEmpty();
    const QMargins m = own ? QMargins()
                           : QMargins(formatRect_.Left, formatRect_.Top, std::max(0, Width() - formatRect_.Right),
                                      std::max(0, Height() - formatRect_.Bottom));
    if (QLineEdit* e = lineOf(w)) {
        // The line edit keeps 2 pixels across and 1 down of its own around the text.
        const QMargins lineOwn(2, 1, 2, 1);
        e->setTextMargins(own ? m
                              : QMargins(std::max(0, m.left() - lineOwn.left()), std::max(0, m.top() - lineOwn.top()),
                                         std::max(0, m.right() - lineOwn.right()),
                                         std::max(0, m.bottom() - lineOwn.bottom())));
        e->setAlignment(own ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignTop);
    } else {
        memoOf(w)->setContentsMargins(m);
    }
}

int TCustomEdit::SelStart() const {
    if (!Widget())
        return 0;
    int start, length;
    boxSelection(Widget(), start, length);
    return bytesBefore(boxText(Widget()), start);
}

void TCustomEdit::SetSelStart(int v) {
    HandleNeeded();
    boxSelect(Widget(), charsBefore(boxText(Widget()), v), 0);
}

int TCustomEdit::SelLength() const {
    if (!Widget())
        return 0;
    return int(FromQString(boxSelectedText(Widget())).size());
}

void TCustomEdit::SetSelLength(int v) {
    HandleNeeded();
    const QString text = boxText(Widget());
    int startBytes = SelStart();
    int start = charsBefore(text, startBytes);
    int end = charsBefore(text, startBytes + std::max(v, 0));
    boxSelect(Widget(), start, end - start);
}

AnsiString TCustomEdit::SelText() const { return Widget() ? FromQString(boxSelectedText(Widget())) : AnsiString(); }

void TCustomEdit::SetSelText(const AnsiString& v) {
    HandleNeeded();
    boxInsert(Widget(), ToQString(v));
}

void TCustomEdit::SelectAll() {
    HandleNeeded();
    if (QLineEdit* e = lineOf(Widget()))
        e->selectAll();
    else
        memoOf(Widget())->selectAll();
}

void TCustomEdit::ClearSelection() {
    if (!Widget() || SelLength() == 0 || !AcceptsComposition())
        return;
    boxInsert(Widget(), QString());
}

void TCustomEdit::CutToClipboard() {
    if (!Widget())
        return;
    CopyToClipboard();
    ClearSelection();
}

void TCustomEdit::CopyToClipboard() {
    if (!Widget() || SelLength() == 0)
        return;
    QGuiApplication::clipboard()->setText(boxSelectedText(Widget()));
}

void TCustomEdit::PasteFromClipboard() { insertPasted(QGuiApplication::clipboard()->text()); }

void TCustomEdit::PasteSelection() { insertPasted(QGuiApplication::clipboard()->text(QClipboard::Selection)); }

void TCustomEdit::insertPasted(const QString& text) {
    if (!Widget() || text.isEmpty() || !AcceptsComposition())
        return;
    int refused = 0;
    QString pasted = text;
    // A box that holds line breaks takes every pasted line; one line takes the first.
    const bool breaks = multiLine_ || wordWrap_;
    if (breaks)
        pasted.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    AnsiString bytes = FromQStringRefusing(breaks ? pasted : firstLine(pasted), refused);
    // What the code page lacks is refused as a wrong key is, with a beep; it never becomes "?".
    if (refused > 0)
        MessageBeep();
    if (maxLength_ > 0) {
        const int room = maxLength_ - int(text_.size()) + SelLength();
        bytes = AnsiLeft(bytes, size_t(std::max(room, 0)));
    }
    if (!bytes.empty() && Widget())
        boxInsert(Widget(), ToQString(bytes));
}

void TCustomEdit::Undo() {
    QLineEdit* line = lineOf(Widget());
    QPlainTextEdit* memo = memoOf(Widget());
    if ((!line || !line->isUndoAvailable()) && (!memo || !memo->document()->isUndoAvailable()))
        return;
    if (!AcceptsComposition())
        return;
    if (QLineEdit* e = lineOf(Widget()))
        e->undo();
    else if (QPlainTextEdit* m = memoOf(Widget()))
        m->undo();
}

void TCustomEdit::KeyDown(Word& key, TShiftState shift) {
    TWinControl::KeyDown(key, shift);
    if (shift != TShiftState{ssShift} || (key != VK_INSERT && key != VK_DELETE))
        return;
    if (key == VK_INSERT)
        PasteFromClipboard();
    else
        CutToClipboard();
    key = 0;
}

void TCustomEdit::DoEnter() {
    if (autoSelect_ && Widget())
        SelectAll();
    TWinControl::DoEnter();
}

void TCustomEdit::InsertTyped(std::string_view ch) {
    HandleNeeded();
    if (readOnly_)
        return;
    // A character goes in only while the limit leaves room for all of it.
    if (maxLength_ > 0 && int(text_.size()) - SelLength() + int(ch.size()) > maxLength_)
        return;
    boxInsert(Widget(), ToQString(ch));
}

void TCustomEdit::DefaultChar(char key) {
    HandleNeeded();
    QWidget* w = Widget();
    auto byte = static_cast<unsigned char>(key);
    auto insert = [&](std::string_view ch) { InsertTyped(ch); };
    if (pendingLead_) {
        // The trail byte completes a double-byte character.
        char both[2] = {pendingLead_, key};
        pendingLead_ = 0;
        insert(std::string_view(both, 2));
        return;
    }
    if (byte >= 0x80 && codepage::IsLeadByte(byte)) {
        pendingLead_ = key;
        return;
    }
    switch (byte) {
    case 1:
        SelectAll();
        return;
    case 3:
        CopyToClipboard();
        return;
    case 10:
        // A line feed breaks the line of a wrapped or multi-line box; one line has no room for it.
        if (wordWrap_ || multiLine_)
            insert("\n");
        return;
    case 8:
        if (readOnly_)
            return;
        if (QLineEdit* e = lineOf(w)) {
            e->backspace();
        } else {
            QTextCursor c = memoOf(w)->textCursor();
            c.deletePreviousChar();
            memoOf(w)->setTextCursor(c);
        }
        return;
    case 13:
        // Enter types a line break into a multi-line box; a one-line box leaves it to its owner.
        if (multiLine_)
            insert("\n");
        return;
    case 22:
        PasteFromClipboard();
        return;
    case 24:
        CutToClipboard();
        return;
    case 26:
        Undo();
        return;
    default:
        if (byte >= 32)
            insert(std::string_view(&key, 1));
    }
}
