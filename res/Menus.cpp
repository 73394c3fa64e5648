#include "res/Menus.h"

#include "res/ResourceIds.h"

const std::vector<MenuItemData>& LoadMenuResource(unsigned id) {
  static const std::vector<MenuItemData> results = {
      {ID_COPY_ALL, "Copy &All"},
      {ID_COPY_SELECTED, "&Copy Selected"},
      {ID_CLEAR_LIST, "Clear Lis&t"},
      {ID_LOG_SESSION, "&Log Session"},
      {ID_DATABASE_STATISTICS, "Database &Statistics"},
      {ID_START_MINIMIZED, "Start &Minimized"},
      {ID_KEEP_LOCAL_INDEX, "Keep Local &Index"},
      {ID_RETRIEVE_NFO, "Retrieve &Nfo File"},
  };
  static const std::vector<MenuItemData> tray = {
      {ID_SHOW_KESTREL, "&Show Kestrel"},
      {ID_EXIT_KESTREL, "&Exit Kestrel"},
  };
  static const std::vector<MenuItemData> none;
  if (id == IDR_RESULTS_MENU) return results;
  if (id == IDR_TRAY_MENU) return tray;
  return none;
}
