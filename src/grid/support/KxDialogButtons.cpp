// The dialog button factory; reads kxProcessIntl at every call.
#include "grid/support/KxDialogButtons.h"

#include "grid/support/KxIntl.h"
#include "ui/Form.h"

TButton* kxCreateDialogButton(TForm* dialog, TkxDialogButtonKind kind) {
    const TkxIntl* intl = CreateProcessIntl();
    const bool bitmapped = intl->OKCancelBitmapped();
    TButton* button = nullptr;
    if (bitmapped) {
        auto* bit = new TBitBtn(dialog);
        bit->SetVisible(false);
        bit->SetParent(dialog);
        bit->SetMargin(2);
        bit->SetKind(kind == kxbOK ? bkOK : kind == kxbCancel ? bkCancel : bkHelp);
        bit->SetLayout(blGlyphLeft);
        bit->SetNumGlyphs(2);
        bit->SetSpacing(-1);
        TFont font;
        font.SetColor(clWindowText);
        font.SetHeight(-11);
        font.SetName("MS Sans Serif");
        font.SetStyle(intl->DialogFontStyle());
        bit->SetFont(font);
        button = bit;
    } else {
        button = new TButton(dialog);
        button->SetVisible(false);
        button->SetParent(dialog);
    }
    switch (kind) {
    case kxbOK:
        button->SetCaption(intl->BtnOKCaption());
        button->SetModalResult(mrOk);
        break;
    case kxbCancel:
        button->SetCaption(intl->BtnCancelCaption());
        button->SetModalResult(mrCancel);
        button->SetCancel(true);
        break;
    case kxbHelp:
        button->SetCaption("Help");
        break;
    }
    return button;
}
