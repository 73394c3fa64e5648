#include <gtest/gtest.h>

#include "app/Settings.h"
#include "app/StartupSettings.h"
#include "platform/Registry.h"
#include "tests/support/RegistryFixture.h"

namespace {

using Notices = std::vector<StartupNotice>;
const Notices kNone, kFirst{StartupNotice::FirstTimeUsage}, kUpgrade{StartupNotice::UpgradeComplete};

const std::string kHeader =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n";

class StartupSettingsTest : public RegistryFixture {
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
