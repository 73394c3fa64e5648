#include "search/SettingsLogPort.h"

#include "app/Settings.h"

bool SettingsLogPort::OpenSettingsKey() {
  return ::OpenSettingsKey();
}

void SettingsLogPort::WriteLogFile(const std::string& path) {
  ::WriteLogFile(path);
}

void SettingsLogPort::WriteLog(bool on) {
  ::WriteLog(on);
}

long SettingsLogPort::CloseSettingsKey() {
  return ::CloseSettingsKey();
}
