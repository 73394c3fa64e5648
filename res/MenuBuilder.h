#pragma once
// Menus made from the menu resources of res/Menus: one action per item, each carrying its
// command id, so code finds an action by the command it sends, never by caption or position.
class QAction;
class QMenu;
class QWidget;

// A new menu holding the items of menu resource id (separators included).
QMenu* BuildMenu(unsigned resourceId, QWidget* parent = nullptr);
// The command id an action of such a menu sends; 0 for anything else.
unsigned CommandOf(const QAction* action);
// The action of menu that sends command id; null when there is none.
QAction* FindMenuAction(const QMenu* menu, unsigned id);
