#include "tests/support/GuiTestApp.h"

#include <QTest>
#include <chrono>

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QTest::qWait(1);
  }
  return true;
}
