// The selection grid's in-place editor: filling, placement, the keys it keeps and those it hands to
// the grid, the picture mask at each keystroke, and the mask lookup when it gains the focus.
#include "grid/KxInplaceEdit.h"

#include "data/Field.h"
#include "grid/KxCustomDBGrid.h"
#include "ui/Dialogs.h"

namespace {
bool isLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 && codepage::IsLeadByte(b);
}
} // namespace

TkxInplaceEdit::TkxInplaceEdit(TkxCustomDBGrid* grid) : TInplaceEdit(grid), grid_(grid) {
    SetWordWrap(grid->Options().Contains(dgWordWrap));
    SetImeMode(grid->ImeMode());
    SetImeName(grid->ImeName());
}

void TkxInplaceEdit::UpdateContents() {
    TInplaceEdit::UpdateContents();
    // A link cell's text stays on one line; the window is made again only when the kind changes.
    const bool wrap =
        grid_->Options().Contains(dgWordWrap) && grid_->CacheItem(grid_->Col()).Type != "URL-Link";
    SetWordWrap(wrap);
}

void TkxInplaceEdit::SetBounds(int left, int top, int width, int height) {
    // The editor of a fixed data column keeps its column line visible.
    const bool scrolling = grid_->Col() >= grid_->TCustomGrid::FixedCols();
    if (!scrolling && !grid_->Options().Contains(dgColLinesDisableFixed)) {
        left += 1;
        width -= grid_->Options().Contains(dgColLines) ? 1 : 2;
    }
    TInplaceEdit::SetBounds(left, top, width, height);
    const int top0 = grid_->Options().Contains(dgRowLinesDisableFixed) ? 1 : 2;
    SetFormatRect(Rect(1, top0, Width() - 2, Height()));
}

void TkxInplaceEdit::FontChanged() {
    TInplaceEdit::FontChanged();
    const int m = BorderSingle() ? 0 : 2;
    SetFormatRect(Rect(m, m, ClientWidth() - 1, ClientHeight()));
}

void TkxInplaceEdit::KeyDown(Word& key, TShiftState shift) {
    // Enter with dgEnterToTab moves on as Tab does; Ctrl+Delete deletes the record. Both are the
    // grid's, from the grid.
    const bool enterToTab = key == VK_RETURN && grid_->KeyOptions().Contains(dgEnterToTab);
    if (enterToTab || (key == VK_DELETE && shift.Contains(ssCtrl))) {
        if (grid_->CanFocus()) grid_->SetFocus();
        Word gridKey = enterToTab ? Word(VK_TAB) : key;
        grid_->KeyDown(gridKey, shift);
        if (enterToTab) Invalidate();
        key = 0;
        return;
    }
    TInplaceEdit::KeyDown(key, shift);
}

void TkxInplaceEdit::KeyPress(char& key) {
    if (key == '\r' && grid_->KeyOptions().Contains(dgEnterToTab)) key = '\t';
    if (maskLead_) {
        // The trail byte completes a character the mask held back.
        const char both[2] = {maskLead_, key};
        maskLead_ = 0;
        TInplaceEdit::KeyPress(key);
        if (key == 0) return;
        key = 0;
        if (maskKeystroke(std::string_view(both, 2))) InsertTyped(std::string_view(both, 2));
        return;
    }
    TInplaceEdit::KeyPress(key);
    if (key == 0) return;
    TField* field = grid_->MappedField(grid_->Col() - grid_->IndicatorOffset());
    // A line feed (Ctrl+Enter) has no place in a number.
    if (key == '\n' && field && field->InheritsFrom("TFloatField")) {
        key = 0;
        return;
    }
    if (!usePicture_) return;
    const auto b = static_cast<unsigned char>(key);
    if (b == 8) {
        if (grid_->OnCheckValue)
            CheckValue(TkxPictureInput::TextAfterBackspace(Text(), SelStart(), SelLength()));
        return;
    }
    if (b < 32) return;
    if (isLeadByte(key)) {
        // The mask judges whole characters: the lead byte waits for its trail.
        maskLead_ = key;
        key = 0;
        return;
    }
    const char one = key;
    if (!maskKeystroke(std::string_view(&one, 1))) key = 0;
}

bool TkxInplaceEdit::maskKeystroke(std::string_view ch) {
    const TkxPictureInput mask(picture_, usePicture_);
    const TkxMaskKeystroke r = mask.Keystroke(Text(), SelStart(), SelLength(), ch, MaxLength());
    bool passOn = false;
    switch (r.Action) {
    case TkxMaskKeystroke::kaReject:
        MessageBeep();
        return false;
    case TkxMaskKeystroke::kaTake:
        // The grid's pending text follows through the change report.
        SetText(r.Text);
        SetModified(true);
        SetSelStart(r.SelStart);
        break;
    case TkxMaskKeystroke::kaPassOn:
        passOn = true;
        break;
    }
    if (r.FireCheckValue && grid_->OnCheckValue) grid_->OnCheckValue(this, r.PassesPictureTest);
    return passOn;
}

void TkxInplaceEdit::KeyUp(Word& key, TShiftState shift) {
    const Word typed = key;
    if (key == VK_RETURN && grid_->KeyOptions().Contains(dgEnterToTab)) key = VK_TAB;
    TInplaceEdit::KeyUp(key, shift);
    if (typed == VK_DELETE && grid_->OnCheckValue) CheckValue(Text());
}

void TkxInplaceEdit::PasteFromClipboard() {
    TInplaceEdit::PasteFromClipboard();
    grid_->CanEditModify();
}

void TkxInplaceEdit::WMSetFocus() {
    TInplaceEdit::WMSetFocus();
    TField* field = grid_->MappedField(grid_->Col() - grid_->IndicatorOffset());
    if (!grid_->DataSet() || !field) return;
    AnsiString mask;
    bool autoFill = true, useMask = true;
    grid_->GetPictureMask(field->FieldName(), mask, autoFill, useMask);
    picture_.SetPictureMask(mask);
    picture_.SetAutoFill(autoFill);
    picture_.SetAllowInvalidExit(false);
    usePicture_ = useMask && !mask.empty();
    if (grid_->OnCheckValue) CheckValue(field->Text());
}

void TkxInplaceEdit::CheckValue(const AnsiString& text) {
    if (grid_->OnCheckValue)
        grid_->OnCheckValue(this, TkxPictureInput(picture_, usePicture_).PassesPictureTest(text));
}
