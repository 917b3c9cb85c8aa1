#pragma once
// An edit box realised by a native edit widget: text in the process code page, read-only, a length
// limit in bytes of the code page, selection, and OnChange at every change of the text. Typed
// characters pass KeyPress first (a double-byte character arrives as its two bytes and is inserted
// whole); what KeyPress lets through is edited as the platform's edit box does. The box holds only
// text the code page can hold: a character it lacks, from an input method, the clipboard or a drop,
// is refused with a beep and never becomes "?".
//
// Text enters by keys, an input method, Ctrl+V and Shift+Insert, the box's own menu, the middle
// button (the primary selection) and drag and drop. Every way but keys and the input method's
// composition is this class's own code, never the native widget's, and each asks AcceptsComposition
// first: a box that refuses it takes no text by any of them.
//
// One line by default; with WordWrap a long text wraps at the box's width and scrolls up and down
// instead of sideways (the window is made again when the setting changes). Enter is the form's or the
// owner's, never the text's. A one-line box has no line breaks; a wrapped box takes a line feed
// (Ctrl+Enter types one) as a line break, and its text holds each break as one LF byte (a CR LF or
// a lone CR given to SetText reads back as LF). TMemo is the multi-line kind, where Enter types a
// break and the text keeps the break style it was given.
#include "ui/WinControl.h"

class QString;

class TCustomEdit : public TWinControl {
    MORVANE_CLASS_PROPS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* owner);

    const AnsiString& GetText() const override;
    // Replaces the text; the box is then not modified.
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
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    // Where the text is laid out, in client coordinates (the platform's formatting rectangle); an
    // empty rectangle gives the box's own margins back.
    void SetFormatRect(const TRect& r);

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
    // Inserts the clipboard's text over the selection: what the code page lacks is left out with a
    // beep, what the limit leaves no room for is not inserted. Nothing when AcceptsComposition refuses.
    virtual void PasteFromClipboard();
    // The same with the primary selection's text: the middle button's paste.
    void PasteSelection();
    void Undo();

    TNotifyEvent OnChange;
    int DialogCode() const override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

protected:
    // Line breaks belong to the text (TMemo); set once, before the window is made.
    void SetMultiLine(bool v) { multiLine_ = v; }
    bool MultiLine() const { return multiLine_; }
    QWidget* CreateWidget(QWidget* parent) override;
    void CreateWnd() override;
    bool OwnerDrawn() const override { return false; }
    // Whether text may change now, by any way it enters (an in-place editor asks its grid).
    bool AcceptsComposition() override { return !readOnly_; }
    void DefaultChar(char key) override;
    // Shift+Insert pastes and Shift+Delete cuts through this class's own operations.
    void KeyDown(Word& key, TShiftState shift) override;
    // Inserts one whole typed character over the selection, when the box is not read-only and the
    // limit leaves room for all of it.
    void InsertTyped(std::string_view ch);
    void DoEnter() override;
    virtual void Change();

private:
    friend class EditNativeInput;
    // Inserts pasted or dropped text over the selection by the paste rules above.
    void insertPasted(const QString& text);
    void textEdited();
    void applyFormatRect();
    mutable AnsiString text_;
    bool readOnly_ = false;
    int maxLength_ = 0;
    bool autoSelect_ = true;
    bool borderSingle_ = true;
    bool modified_ = false;
    bool settingText_ = false;
    bool wordWrap_ = false;
    bool multiLine_ = false;
    // A multi-line text set with "\r\n" line breaks gets them back from what is typed ("\n" otherwise).
    bool crlf_ = false;
    TRect formatRect_;
    char pendingLead_ = 0;
};

class TEdit : public TCustomEdit {
    MORVANE_CLASS(TEdit, TCustomEdit)
public:
    explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

// A multi-line edit box: its text holds line breaks, Enter types one, long lines wrap at the box's
// width and a vertical scroll bar comes when the lines do not fit. Line breaks are kept as the text
// last set had them ("\r\n" or "\n"); typed and pasted ones follow that style.
class TMemo : public TCustomEdit {
    MORVANE_CLASS(TMemo, TCustomEdit)
public:
    explicit TMemo(TComponent* owner);
};
