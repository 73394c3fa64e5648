#include "tests/controls/GuiTestApp.h"

QApplication& GuiTestApp() {
  static int argc = 1;
  static char name[] = "kestrel_test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}
