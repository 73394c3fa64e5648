#pragma once
// The "&Log Session" command's settings operations on the real settings store.
#include "search/LogSessionCommand.h"

class SettingsLogPort : public LogSessionSettings {
 public:
  bool OpenSettingsKey() override;
  void WriteLogFile(const std::string& path) override;
  void WriteLog(bool on) override;
  long CloseSettingsKey() override;
};
