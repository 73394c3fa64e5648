#pragma once
// Stand-in for the common Save As / Open dialogs, with the same test seam as the message box.
#include <functional>
#include <optional>
#include <string>

constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
constexpr unsigned OFN_HIDEREADONLY = 0x4;
constexpr unsigned OFN_CREATEPROMPT = 0x2000;

struct FileDialogRequest {
  bool open = true;              // Open (true) or Save As (false)
  std::string defaultExtension;  // without the dot, or empty for none
  std::string initialFile;       // initial file name, or empty
  unsigned flags = 0;            // OFN_* bits
  std::string filter;            // "Name|pattern|Name|pattern||"
  void* owner = nullptr;         // owning window (a QWidget* in the GUI)
};

// Returns the full path chosen, or nothing when the user cancelled.
using FileDialogHandler = std::function<std::optional<std::string>(const FileDialogRequest&)>;

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
// Without a handler the dialog is cancelled at once.
std::optional<std::string> ShowFileDialog(const FileDialogRequest& request);
