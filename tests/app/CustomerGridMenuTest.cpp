// The customer grid's context menu in the window built here, input sent through the framework: each
// way of opening it (right button, Menu key, Shift+F10), what each item copies, what a pending tick
// becomes, and an export that fails shown in a box with the window going on.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxGridExport.h"
#include "ui/Application.h"
#include "ui/Clipboard.h"
#include "ui/Dialogs.h"
#include "ui/FileDialog.h"
#include "ui/Input.h"
#include "ui/PopupMenu.h"

#include <gtest/gtest.h>

namespace {
struct Step {
    const char* name;
    bool tickFirst;       // tick the current (second) customer first, leaving it pending
    TMouseButton button;  // mbRight: a right click on the third customer; else a key
    Word key;
    TShiftState shift;
    int item;             // chosen in the menu; -1: no menu expected (Ctrl+C)
    int copiedRow;        // the customer on the clipboard (0-based), -1: none
    bool pendingAfter;    // the tick still pending afterwards
};
} // namespace

TEST(CustomerGridMenu, OpenedEachWayItCopiesWhatItSaysAndAFailedExportIsABox) {
    StartApplication();
    WriteConnectionFiles(DemoDatabase().Dir(), DemoDatabase().Path());
    std::vector<AnsiString> captions, boxes;
    int chosen = -1;
    PopupMenuHook = [&](const std::vector<TMenuItemInfo>& items, TPoint) {
        captions.clear();
        for (const TMenuItemInfo& i : items)
            captions.push_back(i.Caption);
        return chosen;
    };
    MessageBoxHook = [&](const AnsiString& text, const AnsiString&, unsigned) {
        boxes.push_back(text);
        return IDOK;
    };
    SaveDialogHook = [](AnsiString& name, int&) {
        name = "/nonexistent-folder/customers.txt";
        return true;
    };
    const Step steps[] = {
        {"right click copies the clicked customer", false, mbRight, 0, {}, 0, 2, false},
        {"Ctrl+C keeps a pending tick pending", true, mbLeft, 'C', {ssCtrl}, -1, 1, true},
        {"Menu key: the ticked, the pending tick posted", true, mbLeft, VK_APPS, {}, 1, 1, false},
        {"Shift+F10: a failed export", false, mbLeft, VK_F10, {ssShift}, 2, -1, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        TFormMorvane form(Application);
        form.Show();
        TkxDBGrid* g = form.kxDBGrid1;
        g->SetFocus();
        form.CDS_CUST->Next(); // the second customer
        TkxGridExportFace face(*g);
        auto line = [&](auto text) {
            AnsiString l;
            for (int c = 0; c < g->MappedFieldCount(); ++c)
                l += (c ? ",\"" : "\"") + text(c) + "\"";
            return l + "\r\n";
        };
        const AnsiString header = line([&](int c) { return face.Title(c); });
        if (s.tickFirst) SendKey(g, VK_SPACE);
        std::vector<AnsiString> rows;
        for (int r = 0; r < 3; ++r) {
            TActiveRecordScope scope(g->DataLink(), r);
            rows.push_back(line([&](int c) { return g->GetCellText(c); }));
        }
        Clipboard().SetAsText("before");
        captions.clear();
        boxes.clear();
        chosen = s.item;
        if (s.button == mbRight) {
            const TRect r = g->CellRect(3, 3);
            SendMouse(g, TMouseAction::Down, mbRight, {ssRight}, r.Left + 3, r.Top + 3);
            SendMouse(g, TMouseAction::Up, mbRight, {}, r.Left + 3, r.Top + 3);
        } else {
            SendKey(g, s.key, s.shift);
        }
        if (s.item >= 0)
            EXPECT_EQ(captions, (std::vector<AnsiString>{Ansi("複製"), Ansi("複製已選客戶"), Ansi("匯出…")}));
        else
            EXPECT_TRUE(captions.empty());
        EXPECT_EQ(Clipboard().AsText(), s.copiedRow < 0 ? AnsiString("before") : header + rows[size_t(s.copiedRow)]);
        EXPECT_EQ(form.CDS_CUST->State() == dsEdit, s.pendingAfter);
        if (s.copiedRow < 0) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].rfind("Cannot create file \"/nonexistent-folder/customers.txt\".", 0), 0u) << boxes[0];
            // The window goes on: Space still ticks, and the export's settings are the grid's again.
            SendKey(g, VK_SPACE);
            EXPECT_EQ(form.CDS_CUSTSELECT_YN->AsString(), "Y");
            EXPECT_EQ(g->ExportOptions()->StoredFileName(), "");
            EXPECT_EQ(g->ExportOptions()->ExportType(), kxgetTxt);
        }
    }
    PopupMenuHook = nullptr;
    MessageBoxHook = nullptr;
    SaveDialogHook = nullptr;
}
