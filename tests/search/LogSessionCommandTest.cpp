#include <gtest/gtest.h>

#include "app/Settings.h"
#include "platform/FileDialog.h"
#include "search/LogSessionCommand.h"
#include "tests/support/RegistryFixture.h"

namespace {

// What the command left in the settings store: "log=<flag> file=<path>".
std::string Stored() {
  OpenSettingsKey();
  const std::string stored = std::string("log=") + (ReadLog() ? "1" : "0") + " file=" + ReadLogFile();
  CloseSettingsKey();
  return stored;
}

struct DialogScript {
  DialogScript(std::optional<std::string> answer) {
    previous = SetFileDialogHandler([this, answer](const FileDialogRequest& r) {
      requests.push_back(r);
      return answer;
    });
  }
  ~DialogScript() { SetFileDialogHandler(previous); }
  FileDialogHandler previous;
  std::vector<FileDialogRequest> requests;
};

class LogSessionCommand : public RegistryFixture {
 protected:
  // The key as start-up leaves it.
  void SetUp() override {
    RegistryFixture::SetUp();
    CreateSettingsKey();
    CloseSettingsKey();
  }
};

}  // namespace

TEST_F(LogSessionCommand, SwitchingOnAsksForTheFileAndStoresBoth) {
  DialogScript dialog(std::string("/home/u/logs/session.log"));
  bool bLog = false;
  std::string path = "kestrel.log";
  int owner = 0;
  std::vector<bool> checks;
  EXPECT_TRUE(RunLogSessionCommand(bLog, path, &owner, [&](bool on) { checks.push_back(on); }));
  EXPECT_TRUE(bLog);
  EXPECT_EQ(path, "/home/u/logs/session.log");
  EXPECT_EQ(Stored(), "log=1 file=/home/u/logs/session.log");
  EXPECT_EQ(checks, std::vector<bool>{true});
  ASSERT_EQ(dialog.requests.size(), 1u);
  const FileDialogRequest& r = dialog.requests[0];
  EXPECT_FALSE(r.open);
  EXPECT_EQ(r.defaultExtension, "log");
  EXPECT_EQ(r.initialFile, "kestrel.log");
  EXPECT_EQ(r.flags, 0x2004u);
  EXPECT_EQ(r.filter, "Log Files (*.log)|*.log|All Files (*.*)|*.*||");
  EXPECT_EQ(r.owner, &owner);

  // Switching off again shows no dialog and keeps the path.
  EXPECT_FALSE(RunLogSessionCommand(bLog, path, &owner, [&](bool on) { checks.push_back(on); }));
  EXPECT_EQ(dialog.requests.size(), 1u);
  EXPECT_EQ(Stored(), "log=0 file=/home/u/logs/session.log");
  EXPECT_EQ(path, "/home/u/logs/session.log");
  EXPECT_EQ(checks, (std::vector<bool>{true, false}));
}

TEST_F(LogSessionCommand, CancellingTheDialogLeavesLoggingOff) {
  DialogScript dialog(std::nullopt);
  bool bLog = false;
  std::string path = "old.log";
  bool check = true;
  EXPECT_FALSE(RunLogSessionCommand(bLog, path, nullptr, [&](bool on) { check = on; }));
  EXPECT_FALSE(bLog);
  EXPECT_FALSE(check);
  EXPECT_EQ(path, "old.log");
  EXPECT_EQ(Stored(), "log=0 file=");
  EXPECT_EQ(dialog.requests.size(), 1u);
}
