#include "res/MenuBuilder.h"

#include <QMenu>

#include "res/Menus.h"

QMenu* BuildMenu(unsigned resourceId, QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName(QString::number(resourceId));
  for (const MenuItemData& item : LoadMenuResource(resourceId)) {
    if (item.id == 0) {
      menu->addSeparator();
      continue;
    }
    menu->addAction(QString::fromUtf8(item.caption))->setData(item.id);
  }
  return menu;
}

unsigned CommandOf(const QAction* action) {
  return action ? action->data().toUInt() : 0;
}

QAction* FindMenuAction(const QMenu* menu, unsigned id) {
  if (!menu || id == 0) return nullptr;
  for (QAction* action : menu->actions()) {
    if (CommandOf(action) == id) return action;
  }
  return nullptr;
}
