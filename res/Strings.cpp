#include "res/Strings.h"

#include <map>

#include "res/ResourceIds.h"
#include "res/ToolbarResource.h"
#include "res/Version.h"

std::string LoadResString(unsigned id) {
  static const std::map<unsigned, std::string> table = {
      {IDR_MAINFRAME, "Kestrel\n\nKestre\n\n\nKestrel.Document\nKestre Document"},
      {IDS_SOCKETS_INIT_FAILED, "Windows sockets initialization failed."},
      {AFX_IDS_APP_TITLE, "Kestrel " KESTREL_VERSION},
      // Toolbar 23320: prompt, then the tooltip after the newline.
      {ID_HISTORY_ADD, "Add a new item\nAdd"},
      {ID_HISTORY_DELETE, "Delete this item\nDelete (Delete)"},
      {ID_HISTORY_BROWSE, "Browse for a file\nBrowse"},
      {ID_HISTORY_RESERVED1, "Reserved 1\nReserved"},
      {ID_HISTORY_RESERVED2, "Reserved 2\nReserved"},
  };
  auto it = table.find(id);
  return it == table.end() ? std::string() : it->second;
}
