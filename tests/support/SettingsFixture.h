#pragma once
// Points the settings file, and the cache folder of the local copies, at a scratch folder for
// the length of a test, so no test ever touches the user's own store or copies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/SettingsFile.h"
#include "tests/support/TempDir.h"

class SettingsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SettingsFile::Shared().SetPath(RegFile());
    if (const char* cache = std::getenv("XDG_CACHE_HOME")) m_cacheBefore = cache;
    setenv("XDG_CACHE_HOME", (m_dir.path() + "/cache").c_str(), 1);
  }
  void TearDown() override {
    SettingsFile::Shared().SetPath("");
    if (m_cacheBefore) {
      setenv("XDG_CACHE_HOME", m_cacheBefore->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }

  std::string RegFile() const { return m_dir.path() + "/Harrow/Kestrel.reg"; }
  std::string FileText() const { return ReadWholeFile(RegFile()); }
  // Puts text in place as the store file, creating the folder.
  void PutFile(const std::string& text) const;
  // Files in the store's folder whose names start with prefix.
  int CountFiles(const std::string& prefix) const;

  TempDir m_dir;
  std::optional<std::string> m_cacheBefore;
};
