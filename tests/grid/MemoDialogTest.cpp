// The memo dialog over a real memo column (a Firebird text blob) and the library's dialog button
// factory: F2 on a memo cell, writing back through the grid's link, read-only fields and grids,
// Cancel with changes, and the buttons per kind and per kxProcessIntl setting.
#include "grid/KxMemoDialog.h"
#include "grid/support/GridFixture.h"
#include "grid/support/KxDialogButtons.h"
#include "grid/support/KxIntl.h"
#include "ui/Dialogs.h"
#include "ui/Input.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {
const TestDatabase& NotesDb() {
    static TestDatabase db("CREATE TABLE NOTES (ID INTEGER NOT NULL, NOTE BLOB SUB_TYPE TEXT);"
                           "INSERT INTO NOTES VALUES (1, '第一行');"
                           "INSERT INTO NOTES VALUES (2, 'plain');"
                           "INSERT INTO NOTES VALUES (3, NULL);");
    return db;
}

// A grid of ID and the memo NOTE, the memo column current.
struct Notes : GridHarness {
    Notes() : GridHarness(NotesDb(), "select ID, NOTE from NOTES order by ID") {
        grid->SetSelected(TStringList{"ID\t6\tID\t\t", "NOTE\t20\tNote\t\t"});
        grid->SetDataSource(source);
        cds->Open();
        Show();
        grid->SetCol(2);
    }
    TField* Note() const { return Field("NOTE"); }
};

// Drives every modal form shown while it lives: `step(dialog, turn)` runs at each turn of the loop.
struct DriveDialog {
    int turns = 0;
    int shown = 0;
    explicit DriveDialog(std::function<void(TkxMemoDialog*, int)> step) {
        ModalFormHook = [this, step](TForm* f) {
            auto* d = dynamic_cast<TkxMemoDialog*>(f);
            ASSERT_NE(d, nullptr);
            if (turns == 0) ++shown;
            step(d, turns++);
        };
    }
    ~DriveDialog() { ModalFormHook = nullptr; }
};

// Answers message boxes in turn from `answers` and keeps what was asked.
struct Answers {
    std::vector<AnsiString> asked;
    explicit Answers(std::vector<int> answers) {
        MessageBoxHook = [this, answers](const AnsiString& text, const AnsiString&, unsigned flags) {
            EXPECT_EQ(flags & 0xF, unsigned(MB_YESNO));
            asked.push_back(text);
            return answers.at(asked.size() - 1);
        };
    }
    ~Answers() { MessageBoxHook = nullptr; }
};

void typeAtEnd(TMemo* memo, const AnsiString& text) {
    memo->SetSelStart(int(memo->GetText().size()));
    SendText(memo, text);
}

TPoint middle(TControl* c) {
    return {c->Width() / 2, c->Height() / 2};
}
} // namespace

TEST(MemoDialog, F2EditsTheMemoAndOkWritesItThroughTheGridLink) {
    Notes n;
    EXPECT_EQ(n.Note()->DataType(), ftMemo);
    EXPECT_EQ(n.grid->GetCellText(1), "(Memo)");
    DriveDialog drive([&](TkxMemoDialog* d, int turn) {
        if (turn > 0) return;
        EXPECT_TRUE(d->Visible());
        EXPECT_FALSE(d->ReadOnly());
        EXPECT_EQ(d->Memo()->GetText(), Ansi("第一行"));
        EXPECT_TRUE(d->Memo()->Font()->SameAs(*n.grid->Font()));
        EXPECT_TRUE(d->OKButton()->Visible());
        EXPECT_TRUE(d->CancelButton()->Visible());
        // Nothing is in edit state while the dialog is open.
        EXPECT_EQ(n.cds->State(), dsBrowse);
        typeAtEnd(d->Memo(), Ansi("，"));
        SendKey(d->Memo(), VK_RETURN);
        typeAtEnd(d->Memo(), Ansi("第二行"));
        const TPoint p = middle(d->OKButton());
        SendClick(d->OKButton(), p.X, p.Y);
    });
    SendKey(n.grid, VK_F2);
    EXPECT_EQ(drive.shown, 1);
    EXPECT_EQ(n.cds->State(), dsEdit);
    EXPECT_EQ(n.Note()->AsString(), Ansi("第一行，\n第二行"));
    // The cell shows the new text once the grid shows memo text.
    n.grid->SetMemoAttributes({mGridShow});
    EXPECT_EQ(n.ColumnTexts(1)[0], Ansi("第一行，\n第二行"));
    EXPECT_EQ(n.ColumnTexts(1)[1], "plain");
    EXPECT_EQ(n.ColumnTexts(1)[2], "");
    n.cds->Post();
    EXPECT_EQ(n.Note()->AsString(), Ansi("第一行，\n第二行"));

    // OK without a change leaves the record alone; so does Escape.
    n.cds->Next();
    DriveDialog unchanged([&](TkxMemoDialog* d, int) { d->OKButton()->Click(); });
    SendKey(n.grid, VK_F2);
    EXPECT_EQ(n.cds->State(), dsBrowse);
    DriveDialog escaped([&](TkxMemoDialog* d, int) {
        typeAtEnd(d->Memo(), "!");
        d->Memo()->SetText("plain");
        SendKey(d->Memo(), VK_ESCAPE);
    });
    SendKey(n.grid, VK_F2);
    EXPECT_EQ(escaped.shown, 1);
    EXPECT_EQ(n.cds->State(), dsBrowse);
    EXPECT_EQ(n.Note()->AsString(), "plain");
}

TEST(MemoDialog, ReadOnlyFieldsAndGridsNeverEdit) {
    Notes n;
    auto tryEdit = [&] {
        bool readOnly = false;
        DriveDialog drive([&](TkxMemoDialog* d, int) {
            readOnly = d->ReadOnly();
            EXPECT_TRUE(d->Memo()->ReadOnly());
            typeAtEnd(d->Memo(), "typed");
            SendKey(d->Memo(), VK_RETURN);
            EXPECT_EQ(d->Memo()->GetText(), Ansi("第一行"));
            d->OKButton()->Click();
        });
        SendKey(n.grid, VK_F2);
        EXPECT_EQ(drive.shown, 1);
        EXPECT_EQ(n.cds->State(), dsBrowse);
        EXPECT_EQ(n.Note()->AsString(), Ansi("第一行"));
        return readOnly;
    };
    n.Note()->SetReadOnly(true);
    EXPECT_TRUE(tryEdit());
    n.Note()->SetReadOnly(false);
    n.grid->SetReadOnly(true);
    EXPECT_TRUE(tryEdit());
    n.grid->SetReadOnly(false);
    // Without editing in the grid's options the dialog only shows the text.
    TkxDBGridOptions o = n.grid->Options();
    o.Exclude(dgEditing);
    n.grid->SetOptions(o);
    EXPECT_TRUE(tryEdit());
}

TEST(MemoDialog, CancelWithChangesAsksAndNoKeepsItOpen) {
    Notes n;
    Answers answers({IDNO, IDYES});
    DriveDialog drive([&](TkxMemoDialog* d, int turn) {
        if (turn == 0) {
            typeAtEnd(d->Memo(), "?");
            SendKey(d->Memo(), VK_ESCAPE); // the cancel button, asked: No
        } else if (turn == 1) {
            EXPECT_TRUE(d->Visible());
            EXPECT_EQ(d->Memo()->GetText(), Ansi("第一行?"));
            const TPoint p = middle(d->CancelButton());
            SendClick(d->CancelButton(), p.X, p.Y); // asked again: Yes
        } else {
            ADD_FAILURE() << "the dialog stayed open";
            d->SetModalResult(mrCancel);
        }
    });
    SendKey(n.grid, VK_F2);
    EXPECT_EQ(drive.turns, 2);
    ASSERT_EQ(answers.asked.size(), 2u);
    EXPECT_EQ(answers.asked[0], "Changes have been made!  Are you sure you wish to cancel?");
    EXPECT_EQ(n.cds->State(), dsBrowse);
    EXPECT_EQ(n.Note()->AsString(), Ansi("第一行"));

    // The text comes from kxProcessIntl when asked.
    kxProcessIntl->UserMessages()->SetMemoChangesWarning("Drop it?");
    Answers again({IDYES});
    DriveDialog closed([&](TkxMemoDialog* d, int) {
        typeAtEnd(d->Memo(), "?");
        d->Close(); // the window's close button
    });
    SendKey(n.grid, VK_F2);
    EXPECT_EQ(again.asked, std::vector<AnsiString>{"Drop it?"});
    kxProcessIntl->UserMessages()->SetMemoChangesWarning(
        "Changes have been made!  Are you sure you wish to cancel?");
    EXPECT_EQ(n.Note()->AsString(), Ansi("第一行"));
}

TEST(DialogButtons, EachKindAsTheSettingsSay) {
    StartApplication();
    TForm dialog(nullptr);
    kxProcessIntl->SetDialogFontStyle({TFontStyle::fsBold});
    for (TkxDialogButtonKind kind : {kxbOK, kxbCancel, kxbHelp}) {
        TButton* b = kxCreateDialogButton(&dialog, kind);
        auto* bit = dynamic_cast<TBitBtn*>(b);
        ASSERT_NE(bit, nullptr);
        EXPECT_EQ(b->Owner(), &dialog);
        EXPECT_EQ(b->Parent(), &dialog);
        EXPECT_FALSE(b->Visible());
        EXPECT_EQ(bit->Margin(), 2);
        EXPECT_EQ(bit->Spacing(), -1);
        EXPECT_EQ(bit->Layout(), blGlyphLeft);
        EXPECT_EQ(bit->NumGlyphs(), 2);
        EXPECT_EQ(bit->Kind(), kind == kxbOK ? bkOK : kind == kxbCancel ? bkCancel : bkHelp);
        EXPECT_EQ(bit->Glyph()->Width(), 32);
        EXPECT_EQ(bit->Glyph()->Height(), 16);
        EXPECT_EQ(b->Font()->Name(), "MS Sans Serif");
        EXPECT_EQ(b->Font()->Height(), 11);
        EXPECT_EQ(b->Font()->Color(), clWindowText);
        EXPECT_EQ(b->Font()->Style(), TFontStyles{TFontStyle::fsBold});
        EXPECT_FALSE(b->ParentFont());
        EXPECT_EQ(b->Caption(), kind == kxbOK ? "&OK" : kind == kxbCancel ? "Cancel" : "Help");
        EXPECT_EQ(b->ModalResult(), kind == kxbOK ? mrOk : kind == kxbCancel ? mrCancel : mrNone);
        EXPECT_EQ(b->Cancel(), kind == kxbCancel);
    }
    kxProcessIntl->SetDialogFontStyle({});

    // Plain buttons take the captions of the moment and keep the dialog's font.
    kxProcessIntl->SetOKCancelBitmapped(false);
    kxProcessIntl->SetBtnOKCaption(Ansi("確定"));
    kxProcessIntl->SetBtnCancelCaption(Ansi("取消"));
    dialog.Font()->SetName(Ansi("細明體"));
    TButton* ok = kxCreateDialogButton(&dialog, kxbOK);
    TButton* cancel = kxCreateDialogButton(&dialog, kxbCancel);
    TButton* help = kxCreateDialogButton(&dialog, kxbHelp);
    kxProcessIntl->SetOKCancelBitmapped(true);
    kxProcessIntl->SetBtnOKCaption("&OK");
    kxProcessIntl->SetBtnCancelCaption("Cancel");
    for (TButton* b : {ok, cancel, help}) {
        EXPECT_EQ(dynamic_cast<TBitBtn*>(b), nullptr);
        EXPECT_FALSE(b->Visible());
        EXPECT_EQ(b->Parent(), &dialog);
        EXPECT_EQ(b->Font()->Name(), Ansi("細明體"));
    }
    EXPECT_EQ(ok->Caption(), Ansi("確定"));
    EXPECT_EQ(ok->ModalResult(), mrOk);
    EXPECT_EQ(cancel->Caption(), Ansi("取消"));
    EXPECT_EQ(cancel->ModalResult(), mrCancel);
    EXPECT_TRUE(cancel->Cancel());
    EXPECT_EQ(help->Caption(), "Help");
    EXPECT_EQ(help->ModalResult(), mrNone);
}
