#pragma once
// Points the registry stand-in at a scratch folder for the length of a test, so no test ever
// touches the user's own store.
#include <gtest/gtest.h>

#include <string>

#include "platform/Registry.h"
#include "tests/support/TempDir.h"

class RegistryFixture : public ::testing::Test {
 protected:
  void SetUp() override { SetRegistryFilePath(RegFile()); }
  void TearDown() override { SetRegistryFilePath(""); }

  std::string RegFile() const { return m_dir.path() + "/Harrow/Kestrel.reg"; }
  std::string FileText() const { return ReadWholeFile(RegFile()); }
  // Puts text in place as the store file, creating the folder.
  void PutFile(const std::string& text) const;
  // Files in the store's folder whose names start with prefix.
  int CountFiles(const std::string& prefix) const;

  TempDir m_dir;
};
