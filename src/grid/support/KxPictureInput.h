#pragma once
// A picture mask applied to a text control: what a typed character, a backspace, a paste, leaving
// the control and writing its value to the field do under the mask. The rules work on the control's
// text and selection (bytes of the code page) and answer what the control must do, so the grid's
// in-place editor and the library's edit controls share them; nothing here touches a window.
// Each call matches the whole text once or twice: linear in the text.
//
// An editor applies them so (mask = TkxPictureInput(picture, useMask)):
//   printable character typed   r = mask.Keystroke(Text(), SelStart(), SelLength(), ch, MaxLength());
//                               kaTake: set r.Text, caret at r.SelStart, swallow the key;
//                               kaReject: swallow the key and beep; kaPassOn: handle the key as usual;
//                               then OnCheckValue(r.PassesPictureTest) when r.FireCheckValue.
//   Backspace (OnCheckValue set) OnCheckValue(mask.PassesPictureTest(TextAfterBackspace(...)));
//                               then the key as usual.
//   Delete released, paste, cut  OnCheckValue(mask.PassesPictureTest(Text())) when a handler is set;
//                               after a paste the text becomes mask.Pasted(Text(), MaxLength()).
//   leaving                     when !mask.MayLeave(...): select all, take the focus back, stay
//                               modified, beep.
//   writing to the field        write only when mask.CheckWrite(...) (it reports the failure).
#include "core/Component.h"
#include "grid/support/KxPictureValidator.h"

#include <functional>

class TDataSet;
class TField;

// OnCheckValue: fired with the outcome of each picture check of a control's text.
using TkxValidateEvent = std::function<void(TPersistent* Sender, bool PassesPictureTest)>;

// The picture settings of a control.
class TkxDBPicture : public TPersistent {
    MORVANE_CLASS_PROPS(TkxDBPicture, TPersistent)
public:
    const AnsiString& PictureMask() const { return pictureMask_; }
    void SetPictureMask(const AnsiString& v) { pictureMask_ = v; }
    bool AutoFill() const { return autoFill_; }
    void SetAutoFill(bool v) { autoFill_ = v; }
    bool AllowInvalidExit() const { return allowInvalidExit_; }
    void SetAllowInvalidExit(bool v) { allowInvalidExit_ = v; }
    bool PictureMaskFromDataSet() const { return pictureMaskFromDataSet_; }
    void SetPictureMaskFromDataSet(bool v) { pictureMaskFromDataSet_ = v; }

private:
    AnsiString pictureMask_;
    bool autoFill_ = true;
    bool allowInvalidExit_ = false;
    bool pictureMaskFromDataSet_ = true;
};

// A dataset offers a handler for values that fail their mask by publishing a property named
// "OnInvalidValue" whose value is one of these (or none).
class TkxInvalidValueEvent : public TPersistent {
    MORVANE_CLASS(TkxInvalidValueEvent, TPersistent)
public:
    std::function<void(TDataSet* DataSet, TField* Field)> Handler;
};

// What a typed character does to a masked text.
struct TkxMaskKeystroke {
    enum TAction { kaTake, kaPassOn, kaReject };
    TAction Action = kaPassOn;
    AnsiString Text;  // kaTake: the control's new text
    int SelStart = 0; // kaTake: the caret, in bytes, just after the new input
    bool FireCheckValue = false;
    bool PassesPictureTest = false;
};

class TkxPictureInput {
public:
    TkxPictureInput(AnsiString mask, bool autoFill, bool useMask = true)
        : mask_(std::move(mask)), autoFill_(autoFill), useMask_(useMask) {}
    explicit TkxPictureInput(const TkxDBPicture& picture, bool useMask = true)
        : TkxPictureInput(picture.PictureMask(), picture.AutoFill(), useMask) {}

    // The mask applies: the use flag is set and the mask is not empty.
    bool Active() const { return useMask_ && !mask_.empty(); }

    // A printable character `ch` (one character: one byte, or both bytes of a double-byte character)
    // typed over the selection. `maxLength` is the control's limit in bytes (0: none); a candidate
    // beyond it is left to the control, which refuses it, and the unchanged text is checked.
    // Literals that auto-fill would add beyond the limit are left out.
    TkxMaskKeystroke Keystroke(const AnsiString& text, int selStart, int selLength, std::string_view ch,
                               int maxLength = 0) const;
    // The text a Backspace leaves: the selection removed, or else the whole character before the caret.
    static AnsiString TextAfterBackspace(const AnsiString& text, int selStart, int selLength);
    // The value check: the text is empty, the mask does not apply, or the text matches completely.
    bool PassesPictureTest(const AnsiString& text) const;
    // The text after a paste, normalised (and filled in with auto-fill) by the mask; `maxLength` as
    // for Keystroke: auto-fill adds nothing beyond it.
    AnsiString Pasted(const AnsiString& text, int maxLength = 0) const;
    // Whether the focus may leave a control holding this text.
    bool MayLeave(const AnsiString& text, bool modified, bool allowInvalidExit) const;
    // Whether the text may be written to the field. When it fails the mask, the dataset's
    // OnInvalidValue handler is called, or else ReportMaskError with the control and the field, which
    // by default beeps and raises; the answer is then false. The grid passes its editor's
    // AllowInvalidExit, which lets any text through; edit controls check always.
    bool CheckWrite(TPersistent* sender, TDataSet* dataSet, TField* field, const AnsiString& text,
                    bool allowInvalidExit = false) const;

private:
    AnsiString mask_;
    bool autoFill_;
    bool useMask_;
};

