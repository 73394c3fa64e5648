#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/Registry.h"
#include "tests/support/FailureLines.h"
#include "tests/support/RegistryFixture.h"

namespace {

const char kKestrel[] = "SOFTWARE\\Harrow\\Kestrel";

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
  return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD(text.size() + 1));
}

HKEY Create(const std::string& path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &key, disposition),
            ERROR_SUCCESS);
  return key;
}

}  // namespace

using Registry = RegistryFixture;

TEST_F(Registry, SoftwareAlwaysExistsAndNestedCreateMakesEveryParent) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKestrel, 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  DWORD disposition = 0;
  key = Create(kKestrel, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  // The new key outlives the process that made it, parents included, in any letter case.
  EXPECT_EQ(
      FileText(),
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n\r\n");
  HKEY harrow = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\HARROW", 0, KEY_READ, &harrow), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(harrow, "kestrel", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  // Created below an existing key spelled otherwise, the stored spelling wins.
  key = Create("Software\\harrow\\KESTREL\\HistoryCombo", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetText(key, "MaskHistory", "a|b"), ERROR_SUCCESS);
  RegCloseKey(key);
  key = Create(kKestrel, &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  RegCloseKey(harrow);
  EXPECT_NE(FileText().find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n"),
            std::string::npos);
}

TEST_F(Registry, NamesMatchInAnyCaseAndAnOverwriteKeepsTheStoredName) {
  HKEY key = Create(kKestrel);
  DWORD one = 1, zero = 0;
  ASSERT_EQ(RegSetValueEx(key, "LOG", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "Log", "YES"), ERROR_SUCCESS);  // replaces, does not add
  ASSERT_EQ(RegSetValueEx(key, "log", 0, REG_DWORD, reinterpret_cast<BYTE*>(&zero), 4), ERROR_SUCCESS);
  EXPECT_NE(FileText().find("\"LOG\"=dword:00000000\r\n"), std::string::npos);
  EXPECT_EQ(FileText().find("\"Log\""), std::string::npos);
  DWORD type = 0, value = 7, size = 4;
  EXPECT_EQ(RegQueryValueEx(key, "lOg", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(RegDeleteValue(key, "LoG"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(key, "LOG"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueEx(key, "LOG", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(Registry, QueryHonoursTheCallersBufferSize) {
  HKEY key = Create(kKestrel);
  ASSERT_EQ(SetText(key, "StartDate", "01/02/2003"), ERROR_SUCCESS);  // 11 bytes with the NUL
  char buf[16];
  std::memset(buf, 'x', sizeof buf);
  DWORD type = 0, size = 10;
  EXPECT_EQ(RegQueryValueEx(key, "StartDate", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(buf[0], 'x');  // nothing copied on failure
  size = 11;
  EXPECT_EQ(RegQueryValueEx(key, "StartDate", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buf, "01/02/2003");
  EXPECT_EQ(type, REG_SZ);
  // Size only, as a reader of the whole value asks first.
  size = 0;
  EXPECT_EQ(RegQueryValueEx(key, "StartDate", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(RegQueryValueEx(key, "StartDate", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(Registry, HandlesAreCheckedForValidityAndAccess) {
  HKEY key = Create(kKestrel);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetText(key, "a", "b"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetText(nullptr, "a", "b"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

  HKEY reader = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKestrel, 0, KEY_READ, &reader), ERROR_SUCCESS);
  EXPECT_EQ(SetText(reader, "a", "b"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(reader, "a"), ERROR_ACCESS_DENIED);
  RegCloseKey(reader);
  HKEY bad = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &bad), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Harrow", 0, KEY_READ, &bad),
            ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, AnUnreadableFileReadsAsEmptyAndIsMovedAsideByTheFirstWrite) {
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
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKestrel, 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FileText(), content);  // reading changes nothing
    key = Create(kKestrel);
    ASSERT_EQ(SetText(key, "LOGFILE", "kestrel.log"), ERROR_SUCCESS);
    RegCloseKey(key);
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

TEST(RegistryPath, FollowsXdgConfigHomeThenHome) {
  std::string savedXdg = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
  std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
  SetRegistryFilePath("");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(RegistryFilePath(), "/cfg/Harrow/Kestrel.reg");
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(RegistryFilePath(), "/home/u/.config/Harrow/Kestrel.reg");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryFilePath(), "/home/u/.config/Harrow/Kestrel.reg");
  SetRegistryFilePath("/elsewhere/x.reg");
  EXPECT_EQ(RegistryFilePath(), "/elsewhere/x.reg");
  SetRegistryFilePath("");
  if (savedXdg.empty())
    unsetenv("XDG_CONFIG_HOME");
  else
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  setenv("HOME", savedHome.c_str(), 1);
}

// A store file the user keeps elsewhere behind a link: writes go to that file and the link stays.
TEST_F(Registry, WritesGoThroughASymbolicLinkAndALoopIsNeverWrittenOver) {
  namespace fs = std::filesystem;
  const std::string dotfiles = m_dir.path() + "/dotfiles";
  fs::create_directories(dotfiles);
  PutFile("");
  fs::remove(RegFile());
  fs::create_symlink("../dotfiles/Kestrel.reg", RegFile());

  HKEY key = Create(kKestrel);
  ASSERT_EQ(SetText(key, "LOGFILE", "first.log"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "Other", "kept"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(fs::is_symlink(RegFile()));
  EXPECT_NE(ReadWholeFile(dotfiles + "/Kestrel.reg").find("\"LOGFILE\"=\"first.log\""), std::string::npos);
  EXPECT_NE(ReadWholeFile(dotfiles + "/Kestrel.reg").find("\"Other\"=\"kept\""), std::string::npos);

  // A bad file behind the link is moved aside where it is, and the link still leads to the new one.
  WriteWholeFile(dotfiles + "/Kestrel.reg", "not a registry file\n");
  key = Create(kKestrel);
  ASSERT_EQ(SetText(key, "LOGFILE", "second.log"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(fs::is_symlink(RegFile()));
  EXPECT_NE(FileText().find("\"LOGFILE\"=\"second.log\""), std::string::npos);
  int aside = 0;
  for (const auto& e : fs::directory_iterator(dotfiles))
    if (e.path().filename().string().rfind("Kestrel.reg.bad-", 0) == 0) ++aside;
  EXPECT_EQ(aside, 1);

  // Read once long after it was written, so it is kept parsed; then it can no longer be read,
  // and what was kept must not stand in for it.
  fs::last_write_time(dotfiles + "/Kestrel.reg", fs::file_time_type::clock::now() - std::chrono::hours(1));
  key = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKestrel, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);

  // A link to itself reads as defaults (it could not be read), and nothing replaces it.
  FailureLines lines;
  fs::remove(RegFile());
  fs::create_symlink("Kestrel.reg", RegFile());
  key = nullptr;
  EXPECT_NE(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKestrel, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKestrel, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_symlink(RegFile()));
  EXPECT_FALSE(lines.Take().empty());
}
