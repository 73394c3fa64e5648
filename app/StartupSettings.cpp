#include "app/StartupSettings.h"

#include "app/Settings.h"

StartupSettings ApplyStartupSettings(const std::function<void(StartupNotice)>& showNotice) {
  StartupSettings result;
  auto notify = [&](StartupNotice notice) {
    result.notices.push_back(notice);
    if (showNotice) showNotice(notice);
  };

  if (!OpenSettingsKey()) {
    CreateSettingsKey();
    WriteVersion(kSettingsVersion, 0);
    WriteLog(false);
    WriteLogFile("kestrel.log");
    WriteStartMinimized(false);
    notify(StartupNotice::FirstTimeUsage);
  }

  unsigned char first = 0, second = 0;
  if (!ReadVersion(first, second)) {
    WriteVersion(kSettingsVersion, 0);
    ConvertLogFlag();
    ConvertStartMinimizedFlag();
    notify(StartupNotice::UpgradeComplete);
  } else if (unsigned(second) * 256 + first < kSettingsVersion) {
    WriteVersion(kSettingsVersion, 0);
    notify(StartupNotice::UpgradeComplete);
  }

  result.startHidden = ReadStartMinimized();
  CloseSettingsKey();
  return result;
}
