#include "tests/controls/GuiTestApp.h"

QApplication& GuiTestApp() {
  static int argc = 1;
  static char name[] = "kestrel_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit Qt's own globals may already be gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}
