#include <gtest/gtest.h>

#include <string>

#include "app/Settings.h"
#include "platform/SettingsFile.h"
#include "tests/support/SettingsFixture.h"

namespace {

const char kKestrel[] = "SOFTWARE\\Harrow\\Kestrel";

// Puts a value in place behind the settings' back.
void Put(const std::string& name, SettingValue value) {
  ASSERT_TRUE(SettingsFile::Shared().Write(kKestrel, {{name, std::move(value)}}));
}
void PutNumber(const std::string& name, uint32_t n) {
  Put(name, n);
}
void PutText(const std::string& name, const std::string& text) {
  Put(name, text);
}

class Settings : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    ASSERT_EQ(CreateSettingsKey(), 0);
  }
  void TearDown() override {
    CloseSettingsKey();
    SettingsFixture::TearDown();
  }
  bool FileHas(const std::string& line) const { return FileText().find(line + "\r\n") != std::string::npos; }
};

}  // namespace

TEST_F(Settings, FlagsCountOnlyTheLowestByteOfFourAndWriteOneOrZero) {
  EXPECT_FALSE(ReadStartMinimized());  // missing
  PutNumber("STARTMINIMIZED", 257);
  EXPECT_TRUE(ReadStartMinimized());
  PutNumber("STARTMINIMIZED", 2);
  EXPECT_FALSE(ReadStartMinimized());
  PutText("GetAll", "YES");
  EXPECT_FALSE(ReadGetAll());
  PutFile(FileText() + "\"UseBetween\"=hex:01,00,00,00,00\r\n");  // longer than 4 bytes
  EXPECT_FALSE(ReadUseBetween());

  WriteGetAll(true);
  WriteUseBetween(false);
  EXPECT_TRUE(FileHas("\"GetAll\"=dword:00000001"));
  EXPECT_TRUE(FileHas("\"UseBetween\"=dword:00000000"));
  EXPECT_TRUE(ReadGetAll());
  EXPECT_FALSE(ReadUseBetween());
}

TEST_F(Settings, TheLogFlagIsWrittenAsLOGAndReadAsLog) {
  WriteLog(true);
  EXPECT_TRUE(FileHas("\"LOG\"=dword:00000001"));
  EXPECT_TRUE(ReadLog());
  WriteLog(false);
  EXPECT_FALSE(ReadLog());
  EXPECT_EQ(FileText().find("\"Log\""), std::string::npos);
}

TEST_F(Settings, VersionAndNumbersKeepTheirBitsAndFailuresLeaveOutputsAlone) {
  unsigned char first = 9, second = 9;
  EXPECT_FALSE(ReadVersion(first, second));
  EXPECT_EQ(first, 9);
  EXPECT_EQ(second, 9);
  WriteVersion(75, 1);
  EXPECT_TRUE(FileHas("\"Version\"=dword:0000014b"));
  EXPECT_TRUE(ReadVersion(first, second));
  EXPECT_EQ(first, 75);
  EXPECT_EQ(second, 1);

  int32_t limit = 20, order = 1;
  EXPECT_FALSE(ReadLimit(limit));
  EXPECT_EQ(limit, 20);
  WriteLimit(-5);
  WriteOrder(0);
  EXPECT_TRUE(FileHas("\"Limit\"=dword:fffffffb"));
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, -5);
  EXPECT_TRUE(ReadOrder(order));
  EXPECT_EQ(order, 0);
  WriteLimit(INT32_MIN);
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, INT32_MIN);
}

TEST_F(Settings, TextsThatOutgrowTheirBufferAreStoredButReadEmpty) {
  const std::string date19(19, '7'), path254(254, 'p');
  WriteStartDate("01/02/2003");
  WriteEndDate(date19 + "8");
  WriteLogFile(path254);
  EXPECT_TRUE(FileHas("\"StartDate\"=\"01/02/2003\""));
  EXPECT_EQ(ReadStartDate(), "01/02/2003");
  EXPECT_EQ(ReadEndDate(), "");
  EXPECT_TRUE(FileHas("\"EndDate\"=\"" + date19 + "8\""));
  EXPECT_EQ(ReadLogFile(), path254);
  WriteLogFile(path254 + "p");
  EXPECT_EQ(ReadLogFile(), "");
  WriteEndDate(date19);
  EXPECT_EQ(ReadEndDate(), date19);
  WriteStartDate("\xC3\xA9t\xC3\xA9");  // UTF-8: the buffer counts bytes
  EXPECT_EQ(ReadStartDate(), "\xC3\xA9t\xC3\xA9");
}

TEST_F(Settings, LegacyStringFlagsConvertInPlaceOnlyWhenTheyFitAndAreStrings) {
  PutText("LOG", "yEs");
  PutText("STARTMINIMIZED", "NOPE");
  ConvertLogFlag();
  ConvertStartMinimizedFlag();
  EXPECT_TRUE(FileHas("\"LOG\"=dword:00000001"));
  EXPECT_TRUE(FileHas("\"STARTMINIMIZED\"=dword:00000000"));
  EXPECT_TRUE(ReadLog());

  PutText("LOG", "YESNO");  // does not fit the 5-byte buffer: stays a string
  PutNumber("STARTMINIMIZED", 257);
  ConvertLogFlag();
  ConvertStartMinimizedFlag();
  EXPECT_TRUE(FileHas("\"LOG\"=\"YESNO\""));
  EXPECT_TRUE(FileHas("\"STARTMINIMIZED\"=dword:00000101"));

  Put("LOG", std::monostate());
  ConvertLogFlag();  // a missing value stays missing
  EXPECT_EQ(FileText().find("\"LOG\""), std::string::npos);
}

TEST_F(Settings, WithoutAnOpenKeyEverythingFailsSilently) {
  WriteLimit(5);
  ASSERT_EQ(CloseSettingsKey(), 0);
  EXPECT_NE(CloseSettingsKey(), 0);
  WriteLimit(7);
  WriteLogFile("x.log");
  int32_t limit = 20;
  EXPECT_FALSE(ReadLimit(limit));
  EXPECT_EQ(ReadLogFile(), "");
  EXPECT_TRUE(OpenSettingsKey());
  EXPECT_TRUE(OpenSettingsKey());  // a second open replaces the handle
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, 5);
  EXPECT_EQ(ReadLogFile(), "");
  EXPECT_EQ(GetDefaultLogin(), "ZEBRANO");
}
