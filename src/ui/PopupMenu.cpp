#include "ui/PopupMenu.h"

#include "ui/QtBridge.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

using namespace bridge;

std::function<int(const std::vector<TMenuItemInfo>&, TPoint)> PopupMenuHook;

int TrackPopupMenu(const std::vector<TMenuItemInfo>& items, TPoint screen) {
    if (PopupMenuHook)
        return PopupMenuHook(items, screen);
    if (!qApp || items.empty())
        return -1;
    QMenu menu;
    std::vector<QAction*> actions;
    for (const TMenuItemInfo& item : items) {
        QAction* a = menu.addAction(ToQString(item.Caption));
        a->setEnabled(item.Enabled);
        actions.push_back(a);
    }
    QAction* chosen = menu.exec(QPoint(screen.X, screen.Y));
    for (size_t i = 0; i < actions.size(); ++i)
        if (actions[i] == chosen)
            return int(i);
    return -1;
}
