// The main() of every non-GUI test program: its cases, or its fixture's server start or stop.
#include <gtest/gtest.h>

#include "tests/support/SharedDbServer.h"

int main(int argc, char** argv) {
  const int fixture = RunServerFixture(argc, argv);
  if (fixture >= 0) return fixture;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
