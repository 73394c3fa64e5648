#pragma once
// Toolbar resources: the command of each button, in order, and the image strip they share
// (one image per button, side by side).
#include <string>
#include <vector>

// Toolbar 23320, the history combo's companion.
constexpr unsigned ID_HISTORY_ADD = 53320;
constexpr unsigned ID_HISTORY_DELETE = 53321;
constexpr unsigned ID_HISTORY_BROWSE = 53322;
constexpr unsigned ID_HISTORY_RESERVED1 = 53323;
constexpr unsigned ID_HISTORY_RESERVED2 = 53324;

struct ToolbarResource {
  int imageWidth = 16;
  int imageHeight = 15;
  std::vector<unsigned> commands;
  std::string imagePath;  // Qt resource path of the strip

  // The toolbar resource id, or null when there is none.
  static const ToolbarResource* Find(unsigned id);
};
