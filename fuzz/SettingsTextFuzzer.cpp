// Any bytes as a settings file: reading never crashes, and whatever reads as good is written the
// same after a second read. And any values the settings can set (names and key paths without
// control characters) survive a write and a read.
//
// Input: a mode byte; even: the rest is a file; odd: the rest makes the values.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/SettingsText.h"

namespace {

// What a settings file can carry as a name or a key path part.
std::string Printable(std::string s) {
  for (char& c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = static_cast<char>(u + 0x40 < 0x7f ? u + 0x40 : '~');
  }
  return s;
}

std::string KeyPath(FuzzInput& in) {
  std::string path = "SOFTWARE";
  for (int parts = in.Byte() % 4; parts > 0; --parts) {
    std::string part = Printable(in.Text(8));
    std::erase(part, '\\');
    if (!part.empty()) path += "\\" + part;
  }
  return path;
}

void BuiltRoundTrip(FuzzInput& in) {
  SettingsText text;
  std::vector<std::pair<std::string, std::string>> names;
  while (!in.Done()) {
    const uint8_t op = in.Byte();
    const std::string path = KeyPath(in);
    if (op % 5 == 0) {
      text.Apply(path, std::nullopt);
      continue;
    }
    SettingChange change{Printable(in.Text(10)), std::monostate()};
    const std::string data = in.Text(20);
    if (op % 5 == 2) change.value = uint32_t(std::strtoul(data.c_str(), nullptr, 16));
    if (op % 5 == 3) change.value = data;
    if (op % 5 == 4) change.value = std::vector<std::string>{data, Printable(data)};
    text.Apply(path, change);
    names.emplace_back(path, change.name);
  }
  const std::string written = text.Format();
  SettingsText read;
  FUZZ_CHECK(read.Parse(written));
  FUZZ_CHECK(read.Format() == written);
  for (const auto& [key, name] : names) {
    FUZZ_CHECK(read.Number(key, name) == text.Number(key, name));
    FUZZ_CHECK(read.Text(key, name) == text.Text(key, name));
    FUZZ_CHECK(read.List(key, name) == text.List(key, name));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    FuzzInput in(data + 1, size - 1);
    BuiltRoundTrip(in);
    return 0;
  }
  SettingsText first, second;
  if (!first.Parse(std::string(reinterpret_cast<const char*>(data + 1), size - 1))) return 0;
  const std::string written = first.Format();
  FUZZ_CHECK(second.Parse(written));
  FUZZ_CHECK(second.Format() == written);
  return 0;
}
