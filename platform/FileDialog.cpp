#include "platform/FileDialog.h"

#include <mutex>

namespace {
std::mutex g_handlerMutex;
FileDialogHandler g_handler;
}  // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
  std::lock_guard lock(g_handlerMutex);
  std::swap(g_handler, handler);
  return handler;
}

std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) {
  FileDialogHandler handler;
  {
    std::lock_guard lock(g_handlerMutex);
    handler = g_handler;
  }
  if (handler) return handler(request);
  return std::nullopt;
}
