#pragma once
// The customer grid's context menu (right click, the Menu key, Shift+F10): "複製" copies the current
// customer (Ctrl+C does the same, the grid's own key), "複製已選客戶" copies every ticked customer in
// list order, a pending tick posted first, and "匯出…" asks for a file in the framework's save dialog
// and exports the whole list there in the format of the filter chosen. Copies and exports go through
// the grid's export options, in their format and with their settings; the file dialog's choice is
// used for that export only. A failure (a file that cannot be made) is shown in a box by the
// application and the window goes on.
#include "core/AnsiString.h"
#include "ui/PopupMenu.h"

class TFormMorvane;

class TCustomerGridMenu : public IContextMenu {
public:
    explicit TCustomerGridMenu(TFormMorvane& form) : form_(form) {}

    std::vector<TMenuItemInfo> ContextMenuItems() override;

    void CopyTickedCustomers();
    // The save dialog, then ExportTo with its answer.
    void Export();
    // Exports every customer to `fileName` in the format of the dialog's filter `filterIndex`:
    // 0 text (delimited, or fixed width when the grid's delimiter is empty), 1 HTML, 2 SYLK.
    void ExportTo(const AnsiString& fileName, int filterIndex);

private:
    TFormMorvane& form_;
};
