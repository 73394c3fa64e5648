#include "platform/QtUiLink.h"

#include "platform/UiThread.h"

bool QtUiLink::Carry(const std::function<void()>& call) {
  bool ran = false;
  RunOnUiThread([&] {
    if (!m_window) return;
    call();
    ran = true;
  });
  return ran;
}
