#pragma once
// The grid library's dialog button factory: the OK, Cancel and Help buttons of the library's dialogs
// (the memo dialog's), made as kxProcessIntl says at the moment of the call: bitmap buttons with the
// standard glyph, or plain buttons, and the captions it holds. Each call makes one button owned by
// and placed on the dialog, hidden; the dialog places and shows it.
#include "ui/Buttons.h"

class TForm;

enum TkxDialogButtonKind { kxbOK, kxbCancel, kxbHelp };

// A TBitBtn while kxProcessIntl->OKCancelBitmapped(), else a TButton. OK: caption BtnOKCaption,
// modal result mrOk. Cancel: caption BtnCancelCaption, modal result mrCancel, the dialog's cancel
// button (Escape presses it). Help: caption "Help". A bitmap button has margin 2, the kind's
// standard glyph left of the caption in two images, automatic spacing, and the font
// "MS Sans Serif", height -11, in the window-text colour with kxProcessIntl's DialogFontStyle.
TButton* kxCreateDialogButton(TForm* dialog, TkxDialogButtonKind kind);
