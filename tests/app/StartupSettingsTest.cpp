#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include "app/Settings.h"
#include "app/StartupSettings.h"
#include "controls/HistoryStore.h"
#include "tests/support/SettingsFixture.h"

namespace {

using Notices = std::vector<StartupNotice>;
const Notices kNone, kFirst{StartupNotice::FirstTimeUsage}, kUpgrade{StartupNotice::UpgradeComplete};

const std::string kHeader =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n";

class StartupSettingsTest : public SettingsFixture {
 protected:
  bool FileHas(const std::string& line) const { return FileText().find(line + "\r\n") != std::string::npos; }
};

}  // namespace

TEST_F(StartupSettingsTest, AFreshStoreGetsTheFirstRunValuesAndOneNoticeOnce) {
  std::string fileAtNotice;
  StartupSettings s = ApplyStartupSettings([&](StartupNotice) { fileAtNotice = FileText(); });
  EXPECT_EQ(s.notices, kFirst);
  EXPECT_FALSE(s.startHidden);
  const std::string expected = kHeader +
                               "\"Version\"=dword:0000004b\r\n\"LOG\"=dword:00000000\r\n"
                               "\"LOGFILE\"=\"kestrel.log\"\r\n\"STARTMINIMIZED\"=dword:00000000\r\n\r\n";
  EXPECT_EQ(FileText(), expected);
  EXPECT_EQ(fileAtNotice, expected);  // the notice comes after the writes

  EXPECT_EQ(ApplyStartupSettings().notices, kNone);
  // The key is closed again: a stray write afterwards goes nowhere.
  WriteLimit(3);
  EXPECT_EQ(FileText(), expected);
}

TEST_F(StartupSettingsTest, LegacyStringsWithoutVersionAreConverted) {
  PutFile(kHeader + "\"LOG\"=\"YES\"\r\n\"STARTMINIMIZED\"=\"no\"\r\n");
  EXPECT_EQ(ApplyStartupSettings().notices, kUpgrade);
  EXPECT_TRUE(FileHas("\"LOG\"=dword:00000001"));
  EXPECT_TRUE(FileHas("\"STARTMINIMIZED\"=dword:00000000"));
  EXPECT_TRUE(FileHas("\"Version\"=dword:0000004b"));
  EXPECT_EQ(ApplyStartupSettings().notices, kNone);
}

TEST_F(StartupSettingsTest, AnOlderVersionIsRaisedWithoutConvertingAndNewerOnesAreLeftAlone) {
  PutFile(kHeader + "\"Version\"=dword:0000004a\r\n\"LOG\"=\"YES\"\r\n\"STARTMINIMIZED\"=\"YES\"\r\n");
  StartupSettings s = ApplyStartupSettings();
  EXPECT_EQ(s.notices, kUpgrade);
  EXPECT_FALSE(s.startHidden);  // a string reads as false
  EXPECT_TRUE(FileHas("\"Version\"=dword:0000004b"));
  EXPECT_TRUE(FileHas("\"LOG\"=\"YES\""));
  EXPECT_TRUE(FileHas("\"STARTMINIMIZED\"=\"YES\""));

  for (const char* version : {"0000004b", "0000004c", "0000014b"}) {
    const std::string text = kHeader + "\"Version\"=dword:" + version + "\r\n";
    PutFile(text);
    EXPECT_EQ(ApplyStartupSettings().notices, kNone) << version;
    EXPECT_EQ(FileText(), text) << version;
  }
  // 256 + 0 compares as 256, not as its first byte 0.
  PutFile(kHeader + "\"Version\"=dword:00000100\r\n");
  EXPECT_EQ(ApplyStartupSettings().notices, kNone);
}

TEST_F(StartupSettingsTest, TheStartHiddenFlagReadsTheLowestByte) {
  PutFile(kHeader + "\"Version\"=dword:0000004b\r\n\"STARTMINIMIZED\"=dword:00000101\r\n");
  EXPECT_TRUE(ApplyStartupSettings().startHidden);
  PutFile(kHeader + "\"Version\"=dword:0000004b\r\n\"STARTMINIMIZED\"=dword:00000002\r\n");
  EXPECT_FALSE(ApplyStartupSettings().startHidden);
}

TEST_F(StartupSettingsTest, AnUnreadableStoreCountsAsAFirstRunAndIsKeptAside) {
  PutFile("\x01\x02 not a registry file");
  EXPECT_EQ(ApplyStartupSettings().notices, kFirst);
  EXPECT_EQ(CountFiles("Kestrel.reg.bad-"), 1);
  EXPECT_TRUE(FileHas("\"LOGFILE\"=\"kestrel.log\""));
}

TEST_F(StartupSettingsTest, AStartAndQuitOpenTheFileOnceYetSeeAnotherInstancesWrite) {
  PutFile(kHeader + "\"Version\"=dword:0000004b\r\n\"Limit\"=dword:00000005\r\n");
  // Left by the last run long ago; a file changed just now is read again at every access.
  const timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, RegFile().c_str(), times, 0), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, (m_dir.path() + "/Harrow").c_str(), IN_OPEN | IN_MOVED_TO), 0);

  EXPECT_EQ(ApplyStartupSettings().notices, kNone);
  int32_t limit = 0, order = 0;
  OpenSettingsKey();
  ReadLog(), ReadLogFile(), ReadStartMinimized(), ReadGetAll(), ReadLimit(limit), ReadStartDate();
  ReadEndDate(), ReadUseBetween(), ReadOrder(order);
  CloseSettingsKey();
  EXPECT_EQ(limit, 5);
  HistoryStore::ReadHistory("Harrow", "Kestrel", "MaskHistory");
  HoldSettingsWrites();  // as the form quits
  OpenSettingsKey();
  WriteGetAll(true), WriteLimit(6), WriteStartDate("01/02/2003"), WriteEndDate("  /  /    ");
  WriteUseBetween(false), WriteOrder(1);
  CloseSettingsKey();
  HistoryStore::WriteHistory("Harrow", "Kestrel", "MaskHistory", {"a|b", "c"});
  WriteHeldSettings();

  int opens = 0, writes = 0;
  alignas(inotify_event) char events[4096];
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
    for (char* p = events; p < events + n;
         p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len) {
      const inotify_event* e = reinterpret_cast<inotify_event*>(p);
      if (std::string(e->name) == "Kestrel.reg") ++(e->mask & IN_OPEN ? opens : writes);
    }
  ::close(watch);
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(writes, 1);  // the inputs and the history together
  EXPECT_TRUE(FileHas("\"Limit\"=dword:00000006"));

  const pid_t other = ::fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    OpenSettingsKey();
    WriteLimit(42);
    CloseSettingsKey();
    ::_exit(0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(other, &status, 0), other);
  OpenSettingsKey();
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_TRUE(ReadGetAll());
  CloseSettingsKey();
  EXPECT_EQ(limit, 42);
}
