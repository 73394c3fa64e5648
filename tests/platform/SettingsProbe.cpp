// Runs one settings step against a given store file and prints the outcome, so tests can run it as
// another (unprivileged) user.
//   settings_probe FILE open           -> 1 when the settings key opens for reading and writing
//   settings_probe FILE get NAME       -> "<found> <text>" of the settings key
//   settings_probe FILE set NAME TEXT  -> 1 when the text was written
//   settings_probe FILE startup        -> notices and the start-hidden flag
#include <cstdio>
#include <string>

#include "app/Settings.h"
#include "app/StartupSettings.h"
#include "platform/SettingsFile.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  SettingsFile& store = SettingsFile::Shared();
  store.SetPath(argv[1]);
  const std::string command = argv[2];
  const char* key = "SOFTWARE\\Harrow\\Kestrel";
  if (command == "open") {
    std::printf("%d\n", OpenSettingsKey() ? 1 : 0);
  } else if (command == "get" && argc == 4) {
    const auto text = store.Read().Text(key, argv[3]);
    std::printf("%d %s\n", text ? 1 : 0, text.value_or("").c_str());
  } else if (command == "set" && argc == 5) {
    std::printf("%d\n", store.IsWritable() && store.Write(key, {{argv[3], std::string(argv[4])}}) ? 1 : 0);
  } else if (command == "startup") {
    StartupSettings s = ApplyStartupSettings();
    for (StartupNotice n : s.notices)
      std::printf("%s ", n == StartupNotice::FirstTimeUsage ? "first" : "upgrade");
    std::printf("hidden=%d\n", s.startHidden ? 1 : 0);
  } else {
    return 2;
  }
  return 0;
}
