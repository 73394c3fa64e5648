#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "platform/SettingsFile.h"
#include "tests/support/FailureLines.h"
#include "tests/support/SettingsFixture.h"

namespace {

const char kKestrel[] = "SOFTWARE\\Harrow\\Kestrel";

SettingsFile& Store() {
  return SettingsFile::Shared();
}

bool SetText(const std::string& name, const std::string& text) {
  return Store().Write(kKestrel, {{name, text}});
}

}  // namespace

using SettingsFileTest = SettingsFixture;

TEST_F(SettingsFileTest, AnUnreadableFileReadsAsEmptyAndIsMovedAsideByTheFirstWrite) {
  const std::string garbage[] = {
      std::string("\x7f"
                  "ELF\x02\x01\x01\0\0\0binary",
                  16),
      "Windows Registry Editor Version "
      "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n\"LOGFILE\"=\"kes",
      "random words, not a registry file\n",
      "",
  };
  FailureLines lines;
  for (const std::string& content : garbage) {
    PutFile(content);
    EXPECT_FALSE(Store().Read().HasKey(kKestrel));
    EXPECT_EQ(FileText(), content);  // reading changes nothing
    ASSERT_TRUE(SetText("LOGFILE", "kestrel.log"));
    EXPECT_NE(FileText().find("\"LOGFILE\"=\"kestrel.log\""), std::string::npos);
    ASSERT_EQ(CountFiles("Kestrel.reg.bad-"), 1);
    std::filesystem::path aside;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.path() + "/Harrow"))
      if (e.path().filename().string().rfind("Kestrel.reg.bad-", 0) == 0) aside = e.path();
    EXPECT_EQ(ReadWholeFile(aside), content);
    std::filesystem::remove(aside);
    // Read many times, told once.
    EXPECT_EQ(lines.Take(), std::vector<std::string>{"settings file " + RegFile() +
                                                     ": read failed: not in the registry export format; "
                                                     "defaults used, the next write moves it aside"});
  }
}

TEST(SettingsFilePath, FollowsXdgConfigHomeThenHome) {
  std::string savedXdg = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
  std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
  Store().SetPath("");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(Store().Path(), "/cfg/Harrow/Kestrel.reg");
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(Store().Path(), "/home/u/.config/Harrow/Kestrel.reg");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(Store().Path(), "/home/u/.config/Harrow/Kestrel.reg");
  Store().SetPath("/elsewhere/x.reg");
  EXPECT_EQ(Store().Path(), "/elsewhere/x.reg");
  Store().SetPath("");
  if (savedXdg.empty())
    unsetenv("XDG_CONFIG_HOME");
  else
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  setenv("HOME", savedHome.c_str(), 1);
}

// A store file the user keeps elsewhere behind a link: writes go to that file and the link stays.
TEST_F(SettingsFileTest, WritesGoThroughASymbolicLinkAndALoopIsNeverWrittenOver) {
  namespace fs = std::filesystem;
  const std::string dotfiles = m_dir.path() + "/dotfiles";
  fs::create_directories(dotfiles);
  PutFile("");
  fs::remove(RegFile());
  fs::create_symlink("../dotfiles/Kestrel.reg", RegFile());

  ASSERT_TRUE(SetText("LOGFILE", "first.log"));
  ASSERT_TRUE(SetText("Other", "kept"));
  EXPECT_TRUE(fs::is_symlink(RegFile()));
  EXPECT_NE(ReadWholeFile(dotfiles + "/Kestrel.reg").find("\"LOGFILE\"=\"first.log\""), std::string::npos);
  EXPECT_NE(ReadWholeFile(dotfiles + "/Kestrel.reg").find("\"Other\"=\"kept\""), std::string::npos);

  // A bad file behind the link is moved aside where it is, and the link still leads to the new one.
  WriteWholeFile(dotfiles + "/Kestrel.reg", "not a registry file\n");
  ASSERT_TRUE(SetText("LOGFILE", "second.log"));
  EXPECT_TRUE(fs::is_symlink(RegFile()));
  EXPECT_NE(FileText().find("\"LOGFILE\"=\"second.log\""), std::string::npos);
  int aside = 0;
  for (const auto& e : fs::directory_iterator(dotfiles))
    if (e.path().filename().string().rfind("Kestrel.reg.bad-", 0) == 0) ++aside;
  EXPECT_EQ(aside, 1);

  // Read once long after it was written, so it is kept parsed; then it can no longer be read,
  // and what was kept must not stand in for it.
  fs::last_write_time(dotfiles + "/Kestrel.reg", fs::file_time_type::clock::now() - std::chrono::hours(1));
  ASSERT_TRUE(Store().Read().HasKey(kKestrel));

  // A link to itself reads as defaults (it could not be read), and nothing replaces it.
  FailureLines lines;
  fs::remove(RegFile());
  fs::create_symlink("Kestrel.reg", RegFile());
  EXPECT_FALSE(Store().Read().HasKey(kKestrel));
  EXPECT_FALSE(Store().IsWritable());
  EXPECT_FALSE(SetText("LOGFILE", "third.log"));
  EXPECT_TRUE(fs::is_symlink(RegFile()));
  EXPECT_FALSE(lines.Take().empty());
}

TEST_F(SettingsFileTest, HeldChangesAreReadAtOnceAndWrittenTogetherAtTheEnd) {
  ASSERT_TRUE(SetText("LOGFILE", "a.log"));
  const std::string before = FileText();
  Store().Hold();
  EXPECT_TRUE(Store().Write(kKestrel, {{"Limit", uint32_t(5)}, {"LOGFILE", std::monostate()}}));
  EXPECT_TRUE(
      Store().Write("SOFTWARE\\Harrow\\Kestrel\\HistoryCombo", {{"MaskHistory", std::string("a|b")}}));
  EXPECT_EQ(Store().Read().Number(kKestrel, "limit"), 5u);
  EXPECT_EQ(Store().Read().Text(kKestrel, "LOGFILE"), std::nullopt);
  EXPECT_EQ(FileText(), before);
  EXPECT_TRUE(Store().Release());
  EXPECT_EQ(
      FileText(),
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
      "\"Limit\"=dword:00000005\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n"
      "\"MaskHistory\"=\"a|b\"\r\n\r\n");
  // A name a line of the file cannot hold is refused.
  EXPECT_FALSE(SetText("two\nlines", "x"));
}
