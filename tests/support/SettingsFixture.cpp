#include "tests/support/SettingsFixture.h"

#include <filesystem>

void SettingsFixture::PutFile(const std::string& text) const {
  std::filesystem::create_directories(m_dir.path() + "/Harrow");
  WriteWholeFile(RegFile(), text);
}

int SettingsFixture::CountFiles(const std::string& prefix) const {
  int n = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(m_dir.path() + "/Harrow", ec))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) ++n;
  return n;
}
