#include "platform/MessageBox.h"

#include <mutex>

namespace {
std::mutex g_handlerMutex;
MessageBoxHandler g_handler;
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard lock(g_handlerMutex);
  std::swap(g_handler, handler);
  return handler;
}

int ShowMessageBox(void* owner, const std::string& text, const std::string& caption, unsigned flags) {
  MessageBoxHandler handler;
  {
    std::lock_guard lock(g_handlerMutex);
    handler = g_handler;
  }
  if (handler) return handler(owner, text, caption, flags);
  return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}
