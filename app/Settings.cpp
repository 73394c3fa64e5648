#include "app/Settings.h"

#include <cstring>

#include "platform/Registry.h"

namespace {

const char kSettingsPath[] = "SOFTWARE\\Harrow\\Kestrel";

// The one shared handle; null while no key is open, so every access then fails silently.
HKEY g_settingsKey = nullptr;

// A second open replaces the handle; the replaced one is closed rather than leaked.
void ReplaceHandle(HKEY key) {
  if (g_settingsKey) RegCloseKey(g_settingsKey);
  g_settingsKey = key;
}

bool ReadFourBytes(const char* name, BYTE (&bytes)[4]) {
  DWORD size = sizeof bytes;
  return RegQueryValueEx(g_settingsKey, name, nullptr, nullptr, bytes, &size) == ERROR_SUCCESS;
}

bool ReadFlag(const char* name) {
  BYTE bytes[4] = {0, 0, 0, 0};
  if (!ReadFourBytes(name, bytes)) return false;
  return bytes[0] == 1;  // only the lowest byte counts
}

void WriteNumber(const char* name, DWORD value) {
  BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
  RegSetValueEx(g_settingsKey, name, 0, REG_DWORD, bytes, sizeof bytes);
}

bool ReadNumber(const char* name, int32_t& value) {
  BYTE bytes[4] = {0, 0, 0, 0};
  if (!ReadFourBytes(name, bytes)) return false;
  value = int32_t(DWORD(bytes[0]) | DWORD(bytes[1]) << 8 | DWORD(bytes[2]) << 16 | DWORD(bytes[3]) << 24);
  return true;
}

template <size_t N>
std::string ReadText(const char* name) {
  char buffer[N] = {};
  DWORD size = N;
  if (RegQueryValueEx(g_settingsKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS)
    return "";
  return std::string(buffer, strnlen(buffer, size));
}

void WriteText(const char* name, const std::string& text) {
  RegSetValueEx(g_settingsKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                DWORD(text.size() + 1));
}

bool EqualsYes(const char* text) {
  return (text[0] == 'Y' || text[0] == 'y') && (text[1] == 'E' || text[1] == 'e') &&
         (text[2] == 'S' || text[2] == 's') && text[3] == 0;
}

// Turns an old "YES"/other string into a flag in place; numbers and long strings stay.
void ConvertStringFlag(const char* readName, const char* writeName) {
  char buffer[5] = {};
  DWORD size = sizeof buffer;
  DWORD type = REG_NONE;
  if (RegQueryValueEx(g_settingsKey, readName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return;
  buffer[sizeof buffer - 1] = 0;
  WriteNumber(writeName, EqualsYes(buffer) ? 1 : 0);
}

}  // namespace

bool OpenSettingsKey() {
  HKEY key = nullptr;
  bool ok = RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSettingsPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
  ReplaceHandle(key);
  return ok;
}

long CreateSettingsKey() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG result = RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettingsPath, 0, "", REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &key, &disposition);
  ReplaceHandle(key);
  return result;
}

long CloseSettingsKey() {
  LONG result = RegCloseKey(g_settingsKey);
  g_settingsKey = nullptr;
  return result;
}

bool ReadVersion(unsigned char& first, unsigned char& second) {
  BYTE bytes[4] = {0, 0, 0, 0};
  if (!ReadFourBytes("Version", bytes)) return false;
  first = bytes[0];
  second = bytes[1];
  return true;
}

void WriteVersion(unsigned char first, unsigned char second) {
  WriteNumber("Version", DWORD(second) << 8 | first);
}

bool ReadStartMinimized() {
  return ReadFlag("STARTMINIMIZED");
}
bool ReadLocalIndex() {
  return ReadFlag("LocalIndex");
}
bool ReadGetAll() {
  return ReadFlag("GetAll");
}
bool ReadLog() {
  return ReadFlag("Log");
}
bool ReadUseBetween() {
  return ReadFlag("UseBetween");
}

void WriteStartMinimized(bool on) {
  WriteNumber("STARTMINIMIZED", on ? 1 : 0);
}
void WriteLocalIndex(bool on) {
  WriteNumber("LocalIndex", on ? 1 : 0);
}
void WriteGetAll(bool on) {
  WriteNumber("GetAll", on ? 1 : 0);
}
void WriteLog(bool on) {
  WriteNumber("LOG", on ? 1 : 0);
}
void WriteUseBetween(bool on) {
  WriteNumber("UseBetween", on ? 1 : 0);
}

bool ReadLimit(int32_t& value) {
  return ReadNumber("Limit", value);
}
bool ReadOrder(int32_t& value) {
  return ReadNumber("Order", value);
}
void WriteLimit(int32_t value) {
  WriteNumber("Limit", DWORD(value));
}
void WriteOrder(int32_t value) {
  WriteNumber("Order", DWORD(value));
}

std::string ReadStartDate() {
  return ReadText<20>("StartDate");
}
std::string ReadEndDate() {
  return ReadText<20>("EndDate");
}
std::string ReadLogFile() {
  return ReadText<255>("LOGFILE");
}

void WriteStartDate(const std::string& text) {
  WriteText("StartDate", text);
}
void WriteEndDate(const std::string& text) {
  WriteText("EndDate", text);
}
void WriteLogFile(const std::string& text) {
  WriteText("LOGFILE", text);
}

void ConvertLogFlag() {
  ConvertStringFlag("LOG", "Log");
}
void ConvertStartMinimizedFlag() {
  ConvertStringFlag("STARTMINIMIZED", "STARTMINIMIZED");
}

std::string GetDefaultLogin() {
  return "ZEBRANO";
}

std::string ReadGuestLogin() {
  OpenSettingsKey();
  std::string login = GetDefaultLogin();
  CloseSettingsKey();
  return login;
}
