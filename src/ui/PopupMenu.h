#pragma once
// Context menus. A control that offers one is given an IContextMenu: when the menu is asked for
// (the right button released over the control, the Menu key, Shift+F10) the framework asks it for
// its items at that moment, pops them up and runs the action of the item chosen once the menu has
// closed. Nothing here names the window system; PopupMenu.cpp serves the items to it.
#include "core/AnsiString.h"
#include "ui/Graphics.h"

#include <functional>
#include <vector>

// One item: its caption (code page; "&" marks the access key), whether it can be chosen, and what
// choosing it does.
struct TMenuItemInfo {
    AnsiString Caption;
    bool Enabled = true;
    std::function<void()> Action;
};

// What a control's owner offers in the control's context menu.
class IContextMenu {
public:
    virtual ~IContextMenu() = default;
    // The items as they stand now; none: no menu opens.
    virtual std::vector<TMenuItemInfo> ContextMenuItems() = 0;
};

// Shows the items at a point of the screen and waits for a choice: the chosen item's index, or -1
// when the menu was closed without one (or no item can be chosen). The action is not run here.
int TrackPopupMenu(const std::vector<TMenuItemInfo>& items, TPoint screen);
// When set, answers instead of the user (tests choose an item with it).
extern std::function<int(const std::vector<TMenuItemInfo>& items, TPoint screen)> PopupMenuHook;
