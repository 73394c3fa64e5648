#include "platform/Shell.h"

#include <mutex>
#include <utility>

namespace {

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

ShellNotifyHandler& Handler() {
  static ShellNotifyHandler handler;
  return handler;
}

}  // namespace

ShellNotifyHandler SetShellNotifyHandler(ShellNotifyHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  std::swap(Handler(), handler);
  return handler;
}

bool Shell_NotifyIcon(uint32_t message, const NOTIFYICONDATA& data) {
  ShellNotifyHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = Handler();
  }
  return handler ? handler(message, data) : false;
}
