// The main() of every GUI test program: one QApplication, set up as the program sets it up, on
// the offscreen platform unless the environment chose another; or its server fixture.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/SharedDbServer.h"

int main(int argc, char** argv) {
  // The fixture's server start or stop: before Qt, whose threads a fork must not meet.
  const int fixture = RunServerFixture(argc, argv);
  if (fixture >= 0) return fixture;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Never destroyed: at exit Qt's own globals may already be gone.
  static QApplication* app = new QApplication(argc, argv);
  // Closing a viewer, the statistics window or a message box never ends the program.
  app->setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
