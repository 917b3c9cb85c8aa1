#include "ui/InplaceEdit.h"

#include "ui/CustomGrid.h"
#include "ui/Dialogs.h"

#include <chrono>

namespace {
long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : TCustomEdit(grid), grid_(grid) {
    SetTabStop(false);
    SetBorderSingle(false);
    SetAutoSelect(false);
    SetParentColor(true);
}

int TInplaceEdit::DialogCode() const {
    return DLGC_WANTARROWS | DLGC_WANTCHARS | (grid_->Options().Contains(goTabs) ? DLGC_WANTTAB : 0);
}

void TInplaceEdit::UpdateContents() {
    const int col = grid_->Col(), row = grid_->Row();
    Clear();
    SetEditMask(grid_->GetEditMask(col, row));
    SetText(grid_->GetEditText(col, row));
    SetMaxLength(grid_->GetEditLimit());
    SetModified(false);
    SelectAll();
}

void TInplaceEdit::Move(const TRect& r) {
    SetBoundsRect(r);
    if (!Visible())
        Show();
    if (grid_->FocusedWithin() && !Focused() && CanFocus())
        SetFocus();
}

void TInplaceEdit::Change() {
    // Every text the editor holds is the grid's to know, as it changes.
    grid_->updateEditorText();
    TCustomEdit::Change();
}

void TInplaceEdit::KeyDown(Word& key, TShiftState shift) {
    auto toGrid = [&] {
        grid_->KeyDown(key, shift);
        key = 0;
    };
    const bool ctrl = shift.Contains(ssCtrl);
    const bool alwaysShown = grid_->Options().Contains(goAlwaysShowEditor);
    const int length = int(Text().size());
    switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
        toGrid();
        return;
    case VK_TAB:
        if (!shift.Contains(ssAlt)) {
            toGrid();
            return;
        }
        break;
    case VK_HOME:
    case VK_LEFT:
        if (alwaysShown && (ctrl || (SelStart() == 0 && SelLength() == 0))) {
            toGrid();
            return;
        }
        break;
    case VK_END:
    case VK_RIGHT:
        if (alwaysShown && (ctrl || (SelStart() == length && SelLength() == 0))) {
            toGrid();
            return;
        }
        break;
    case VK_INSERT:
        if (shift.Empty()) {
            toGrid();
            return;
        }
        if (shift == TShiftState{ssShift} && !grid_->CanEditModify()) {
            key = 0;
            return;
        }
        break;
    case VK_DELETE:
        if (ctrl) {
            toGrid();
            return;
        }
        if (!grid_->CanEditModify()) {
            key = 0;
            return;
        }
        break;
    case VK_F2:
        SetSelStart(length);
        SetSelLength(0);
        key = 0;
        return;
    default:
        break;
    }
    if (grid_->OnKeyDown)
        grid_->OnKeyDown(grid_, key, shift);
    if (key != 0)
        TCustomEdit::KeyDown(key, shift);
}

void TInplaceEdit::KeyPress(char& key) {
    // A double-byte character is one character: its trail byte goes where its lead byte went, and is
    // never judged as a character of its own (it may be a letter's code).
    if (trailDue_) {
        trailDue_ = false;
        if (leadTaken_)
            TCustomEdit::KeyPress(key);
        else
            key = 0;
        return;
    }
    const auto b = static_cast<unsigned char>(key);
    const bool lead = b >= 0x80 && codepage::IsLeadByte(b);
    keyPress(key);
    if (lead) {
        trailDue_ = true;
        leadTaken_ = key != 0;
    }
}

bool TInplaceEdit::AcceptsComposition() { return !ReadOnly() && grid_->CanEditModify(); }

void TInplaceEdit::keyPress(char& key) {
    grid_->KeyPress(key);
    if (key == 0)
        return;
    const auto b = static_cast<unsigned char>(key);
    if (b >= 32 && !grid_->CanEditAcceptKey(key)) {
        key = 0;
        MessageBeep();
        return;
    }
    // Backspace, Ctrl+V, Ctrl+X and printable characters change the text.
    if ((b >= 32 || b == 8 || b == 22 || b == 24) && !grid_->CanEditModify()) {
        key = 0;
        return;
    }
    switch (key) {
    case '\r':
        if (SelLength() == int(Text().size()))
            SetSelStart(int(Text().size()));
        else
            SelectAll();
        key = 0;
        return;
    case '\t':
    case 27:
        key = 0;
        return;
    default:
        break;
    }
    TCustomEdit::KeyPress(key);
}

void TInplaceEdit::DefaultChar(char key) {
    if (key == '\n' && (!WordWrap() || ReadOnly() || !grid_->CanEditModify()))
        return;
    TCustomEdit::DefaultChar(key);
}

void TInplaceEdit::KeyUp(Word& key, TShiftState shift) { grid_->KeyUp(key, shift); }

void TInplaceEdit::WMSetFocus() {
    TCustomEdit::WMSetFocus();
    focusTime_ = nowMs();
}

void TInplaceEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    // A press soon after the editor opened completes the double click that opened it.
    if (button == mbLeft && !shift.Contains(ssDouble) && focusTime_ >= 0 && nowMs() - focusTime_ < GetDoubleClickTime()) {
        focusTime_ = -1;
        grid_->DblClick();
    }
    TCustomEdit::MouseDown(button, shift, x, y);
}

void TInplaceEdit::DoEnter() {
    grid_->DoEnter();
    TCustomEdit::DoEnter();
}

void TInplaceEdit::DoExit() {
    TCustomEdit::DoExit();
    grid_->DoExit();
}
