#include "app/Settings.h"

#include "platform/SettingsFile.h"

namespace {

const char kKey[] = "SOFTWARE\\Harrow\\Kestrel";
// What the key calls return: done, refused (the file cannot be written), no key open.
constexpr long kDone = 0, kDenied = 5, kNotOpen = 6;

// Whether the settings key is open: while it is not, every read and write fails silently.
bool g_open = false;

SettingsFile& Store() {
  return SettingsFile::Shared();
}

std::optional<uint32_t> Number(const char* name) {
  return g_open ? Store().Read().Number(kKey, name) : std::nullopt;
}

// value stays as it was when there is none.
bool ReadInteger(const char* name, int32_t& value) {
  const std::optional<uint32_t> n = Number(name);
  value = int32_t(n.value_or(uint32_t(value)));
  return n.has_value();
}

// Only the lowest byte counts.
bool Flag(const char* name) {
  return (Number(name).value_or(0) & 0xff) == 1;
}

// The text, when it fits a buffer of maxBytes, NUL included.
std::string Text(const char* name, size_t maxBytes) {
  return g_open ? Store().Read().Text(kKey, name, maxBytes).value_or("") : "";
}

void Write(const char* name, SettingValue value) {
  if (g_open) Store().Write(kKey, {{name, std::move(value)}});
}

// Turns an old "YES"/other text into a flag in place; numbers and texts longer than four stay.
void ConvertStringFlag(const char* readName, const char* writeName) {
  if (!g_open) return;
  const SettingsText text = Store().Read();
  if (!text.IsText(kKey, readName)) return;
  const std::optional<std::string> flag = text.Text(kKey, readName, 5);
  if (!flag) return;
  const bool yes = flag->size() == 3 && (flag->at(0) | 0x20) == 'y' && (flag->at(1) | 0x20) == 'e' &&
                   (flag->at(2) | 0x20) == 's';
  Write(writeName, uint32_t(yes));
}

}  // namespace

bool OpenSettingsKey() {
  g_open = Store().Read().HasKey(kKey) && Store().IsWritable();
  return g_open;
}

long CreateSettingsKey() {
  g_open = Store().IsWritable() && Store().Write(kKey);
  return g_open ? kDone : kDenied;
}

long CloseSettingsKey() {
  return std::exchange(g_open, false) ? kDone : kNotOpen;
}

void HoldSettingsWrites() {
  Store().Hold();
}

void WriteHeldSettings() {
  Store().Release();
}

bool ReadVersion(unsigned char& first, unsigned char& second) {
  int32_t version = first | second << 8;
  const bool found = ReadInteger("Version", version);
  first = version & 0xff;
  second = version >> 8 & 0xff;
  return found;
}

void WriteVersion(unsigned char first, unsigned char second) {
  Write("Version", uint32_t(second) << 8 | first);
}

bool ReadStartMinimized() {
  return Flag("STARTMINIMIZED");
}
bool ReadLocalIndex() {
  return Flag("LocalIndex");
}
bool ReadGetAll() {
  return Flag("GetAll");
}
bool ReadLog() {
  return Flag("Log");
}
bool ReadUseBetween() {
  return Flag("UseBetween");
}

void WriteStartMinimized(bool on) {
  Write("STARTMINIMIZED", uint32_t(on));
}
void WriteLocalIndex(bool on) {
  Write("LocalIndex", uint32_t(on));
}
void WriteGetAll(bool on) {
  Write("GetAll", uint32_t(on));
}
void WriteLog(bool on) {
  Write("LOG", uint32_t(on));
}
void WriteUseBetween(bool on) {
  Write("UseBetween", uint32_t(on));
}

bool ReadLimit(int32_t& value) {
  return ReadInteger("Limit", value);
}
bool ReadOrder(int32_t& value) {
  return ReadInteger("Order", value);
}
void WriteLimit(int32_t value) {
  Write("Limit", uint32_t(value));
}
void WriteOrder(int32_t value) {
  Write("Order", uint32_t(value));
}

std::string ReadStartDate() {
  return Text("StartDate", 20);
}
std::string ReadEndDate() {
  return Text("EndDate", 20);
}
std::string ReadLogFile() {
  return Text("LOGFILE", 255);
}

void WriteStartDate(const std::string& text) {
  Write("StartDate", text);
}
void WriteEndDate(const std::string& text) {
  Write("EndDate", text);
}
void WriteLogFile(const std::string& text) {
  Write("LOGFILE", text);
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
