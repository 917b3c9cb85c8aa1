#include "ui/FindBar.h"

#include "ui/Dialogs.h"
#include "ui/Keys.h"

TFindBar::TFindBar(TComponent* owner) : TPanel(owner) {
    SetCaption("");
    SetBorderWidth(1);
    SetHeight(27);
    box_ = new TEdit(this);
    box_->SetParent(this);
    box_->SetAlign(alClient);
    box_->OnChange = [this](TObject*) { Find(0); };
    box_->OnKeyDown = [this](TObject*, Word& key, TShiftState shift) {
        const TShiftState mods = shift * TShiftState{ssShift, ssCtrl, ssAlt};
        if (key == VK_RETURN && (mods.Empty() || mods == TShiftState{ssShift})) {
            key = 0;
            Find(mods.Empty() ? 1 : -1);
        } else if (key == VK_ESCAPE && mods.Empty()) {
            key = 0;
            if (OnClose) OnClose(this);
        }
    };
}

void TFindBar::FocusBox() {
    box_->SelectAll();
    if (box_->CanFocus()) box_->SetFocus();
}

void TFindBar::Find(int direction) {
    const AnsiString text = box_->GetText();
    if (text.empty() || !OnFind) {
        showOutcome(true);
        return;
    }
    showOutcome(OnFind(text, direction));
}

void TFindBar::showOutcome(bool found) {
    if (!found) MessageBeep();
    if (notFound_ == !found) return;
    notFound_ = !found;
    box_->SetColor(found ? clWindow : kNotFoundColor);
}
