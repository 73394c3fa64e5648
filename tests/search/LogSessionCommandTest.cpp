#include <gtest/gtest.h>

#include "platform/FileDialog.h"
#include "search/LogSessionCommand.h"

namespace {

// Records the settings calls in order.
class RecordingSettings : public LogSessionSettings {
 public:
  bool OpenSettingsKey() override {
    calls += "open;";
    return true;
  }
  void WriteLogFile(const std::string& path) override { calls += "file=" + path + ";"; }
  void WriteLog(bool on) override { calls += std::string("log=") + (on ? "1" : "0") + ";"; }
  long CloseSettingsKey() override {
    calls += "close;";
    return 0;
  }
  std::string calls;
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

TEST(LogSessionCommand, SwitchingOnAsksForTheFileAndStoresBoth) {
  DialogScript dialog(std::string("/home/u/logs/session.log"));
  RecordingSettings settings;
  bool bLog = false;
  std::string path = "kestrel.log";
  int owner = 0;
  std::vector<bool> checks;
  EXPECT_TRUE(RunLogSessionCommand(bLog, path, &owner, settings, [&](bool on) { checks.push_back(on); }));
  EXPECT_TRUE(bLog);
  EXPECT_EQ(path, "/home/u/logs/session.log");
  EXPECT_EQ(settings.calls, "open;file=/home/u/logs/session.log;log=1;close;");
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
  settings.calls.clear();
  EXPECT_FALSE(RunLogSessionCommand(bLog, path, &owner, settings, [&](bool on) { checks.push_back(on); }));
  EXPECT_EQ(dialog.requests.size(), 1u);
  EXPECT_EQ(settings.calls, "open;log=0;close;");
  EXPECT_EQ(path, "/home/u/logs/session.log");
  EXPECT_EQ(checks, (std::vector<bool>{true, false}));
}

TEST(LogSessionCommand, CancellingTheDialogLeavesLoggingOff) {
  DialogScript dialog(std::nullopt);
  RecordingSettings settings;
  bool bLog = false;
  std::string path = "old.log";
  bool check = true;
  EXPECT_FALSE(RunLogSessionCommand(bLog, path, nullptr, settings, [&](bool on) { check = on; }));
  EXPECT_FALSE(bLog);
  EXPECT_FALSE(check);
  EXPECT_EQ(path, "old.log");
  EXPECT_EQ(settings.calls, "open;log=0;close;");
  EXPECT_EQ(dialog.requests.size(), 1u);
}
