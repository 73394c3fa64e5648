#pragma once
// Menu resources as data: each menu's first pop-up, item by item.
#include <vector>

struct MenuItemData {
  unsigned id;          // command id; 0 for a separator
  const char* caption;  // with '&' before the access key
};

// The first pop-up of menu resource id (105 or 130); empty for an unknown id.
const std::vector<MenuItemData>& LoadMenuResource(unsigned id);
