#include "app/StartupSettings.h"

#include "app/Settings.h"

StartupSettings ApplyStartupSettings(const std::function<void(StartupNotice)>& showNotice) {
  StartupSettings result;
  auto notify = [&](StartupNotice notice) {
    result.notices.push_back(notice);
    if (showNotice) showNotice(notice);
  };

  // The first run's values, or an upgrade's, go to the file in one write before their notice.
  if (!OpenSettingsKey()) {
    HoldSettingsWrites();
    CreateSettingsKey();
    WriteVersion(kSettingsVersion, 0);
    WriteLog(false);
    WriteLogFile("kestrel.log");
    WriteStartMinimized(false);
    WriteHeldSettings();
    notify(StartupNotice::FirstTimeUsage);
  }

  unsigned char first = 0, second = 0;
  if (!ReadVersion(first, second)) {
    HoldSettingsWrites();
    WriteVersion(kSettingsVersion, 0);
    ConvertLogFlag();
    ConvertStartMinimizedFlag();
    WriteHeldSettings();
    notify(StartupNotice::UpgradeComplete);
  } else if (unsigned(second) * 256 + first < kSettingsVersion) {
    WriteVersion(kSettingsVersion, 0);
    notify(StartupNotice::UpgradeComplete);
  }

  result.startHidden = ReadStartMinimized();
  CloseSettingsKey();
  return result;
}
