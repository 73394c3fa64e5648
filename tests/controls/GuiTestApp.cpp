#include "tests/controls/GuiTestApp.h"

#include <QTest>
#include <chrono>

QApplication& GuiTestApp() {
  static int argc = 1;
  static char name[] = "kestrel_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit Qt's own globals may already be gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QTest::qWait(1);
  }
  return true;
}
