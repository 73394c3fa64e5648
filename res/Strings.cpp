#include "res/Strings.h"

#include <map>

#include "res/ResourceIds.h"

std::string LoadResString(unsigned id) {
  static const std::map<unsigned, std::string> table = {
      {IDR_MAINFRAME, "Kestrel\n\nKestre\n\n\nKestrel.Document\nKestre Document"},
      {IDS_SOCKETS_INIT_FAILED, "Windows sockets initialization failed."},
      {AFX_IDS_APP_TITLE, "Kestrel 7.5"},
  };
  auto it = table.find(id);
  return it == table.end() ? std::string() : it->second;
}
