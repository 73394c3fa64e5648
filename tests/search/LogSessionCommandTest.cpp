#include <gtest/gtest.h>

#include "app/Settings.h"
#include "platform/FileDialog.h"
#include "search/LogSessionCommand.h"
#include "tests/support/SettingsFixture.h"

namespace {

// The store as start-up leaves it, with logging on and a file named.
class LogSessionCommand : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    CreateSettingsKey();
    WriteLog(true);
    WriteLogFile("stored.log");
    CloseSettingsKey();
  }
  // LOG and LOGFILE as stored.
  std::pair<bool, std::string> Stored() {
    EXPECT_TRUE(OpenSettingsKey());
    std::pair<bool, std::string> values{ReadLog(), ReadLogFile()};
    CloseSettingsKey();
    return values;
  }
};

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
  EXPECT_EQ(Stored(), std::make_pair(true, path));
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
  EXPECT_EQ(Stored(), std::make_pair(false, path));
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
  EXPECT_EQ(Stored(), std::make_pair(false, std::string("stored.log")));  // the file name untouched
  EXPECT_EQ(dialog.requests.size(), 1u);
}
