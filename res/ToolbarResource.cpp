#include "res/ToolbarResource.h"

#include <map>

#include "res/ResourceIds.h"

const ToolbarResource* ToolbarResource::Find(unsigned id) {
  static const std::map<unsigned, ToolbarResource> table = {
      {IDR_HISTORY_TOOLBAR,
       {16,
        15,
        {ID_HISTORY_ADD, ID_HISTORY_DELETE, ID_HISTORY_BROWSE, ID_HISTORY_RESERVED1, ID_HISTORY_RESERVED2},
        ":/toolbar/23320.svg"}},
  };
  auto it = table.find(id);
  return it == table.end() ? nullptr : &it->second;
}
