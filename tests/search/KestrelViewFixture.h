#pragma once
// A search form under test: the settings key start-up makes is there, the form's message boxes
// are recorded and, once asked for, its status texts too.
#include <memory>
#include <string>
#include <vector>

#include "search/KestrelView.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/SettingsFixture.h"

class KestrelViewFixture : public SettingsFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Status texts in the order they appeared, from now on.
  void RecordStatus();
  // Until the main button reads "Dupe!" again; false after milliseconds.
  bool WaitIdle(int milliseconds = 15000);

  RecordingMessageBox boxes;
  std::unique_ptr<CKestrelView> view;
  std::vector<std::string> statuses;
};
