// Runs one registry or start-up step against a given store file and prints the outcome, so tests
// can run it as another (unprivileged) user.
//   registry_probe FILE open all|read     -> result of opening the settings key
//   registry_probe FILE get NAME          -> "<result> <text>" read through KEY_READ
//   registry_probe FILE set NAME TEXT     -> result of writing through KEY_ALL_ACCESS
//   registry_probe FILE startup           -> notices and the start-hidden flag
#include <cstdio>
#include <cstring>
#include <string>

#include "app/StartupSettings.h"
#include "platform/Registry.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  SetRegistryFilePath(argv[1]);
  const std::string command = argv[2];
  const char* path = "SOFTWARE\\Harrow\\Kestrel";
  HKEY key = nullptr;
  if (command == "open" && argc == 4) {
    DWORD access = std::strcmp(argv[3], "all") == 0 ? KEY_ALL_ACCESS : KEY_READ;
    LONG r = RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, access, &key);
    std::printf("%ld\n", r);
  } else if (command == "get" && argc == 4) {
    char buf[256] = {};
    DWORD size = sizeof buf - 1;
    LONG r = RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    if (r == ERROR_SUCCESS)
      r = RegQueryValueEx(key, argv[3], nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    std::printf("%ld %s\n", r, buf);
  } else if (command == "set" && argc == 5) {
    LONG r = RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r == ERROR_SUCCESS)
      r = RegSetValueEx(key, argv[3], 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[4]),
                        DWORD(std::strlen(argv[4]) + 1));
    std::printf("%ld\n", r);
  } else if (command == "startup") {
    StartupSettings s = ApplyStartupSettings();
    for (StartupNotice n : s.notices)
      std::printf("%s ", n == StartupNotice::FirstTimeUsage ? "first" : "upgrade");
    std::printf("hidden=%d\n", s.startHidden ? 1 : 0);
  } else {
    return 2;
  }
  if (key) RegCloseKey(key);
  return 0;
}
