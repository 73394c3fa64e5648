// Generated sequences of settings and history writes, replayed against a record that the store
// before this one made of them (data/settings-replay.txt): the file byte for byte, and every value
// read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/StartupSettings.h"
#include "controls/HistoryStore.h"
#include "platform/SettingsFile.h"
#include "tests/support/SettingsFixture.h"

namespace {

const char* const kHandMade[] = {
    "Windows Registry Editor Version 5.00\n\n; kept by "
    "hand\n[HKEY_LOCAL_MACHINE\\software\\harrow\\kestrel]\n"
    "\"log\"=\"yes\"\n\"Other\"=hex(b):01,02,03,04,05,06,07,08\n\"Bin\"=hex:ab,\\\n  cd\n@=\"default\"\n"
    "\"limit\"=dword:0000ABCD\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zeta\\Empty]\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\alpha]\n\"A\"=hex(2):41,00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\HARROW\\Kestrel\\historycombo]\n\"maskhistory\"=\"old|one\"\n",
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
    "\"Version\"=dword:0000004a\r\n\"STARTMINIMIZED\"=\"YES\"\r\n\"LOGFILE\"=\"x.log\"\r\n\"StartDate\"="
    "dword:00000001\r\n"
    "\"EndDate\"=hex:30,31,00,41\r\n\"GetAll\"=hex(4):01,00,00,00,00\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n\"MaskHistory\"=\"a|b\"\r\n"
    "\"MaskHistoryItems\"=hex(7):61,7c,62,00,00\r\n",
};

std::string RandomText(std::mt19937& r) {
  static const char* const pieces[] = {"a",          "Z",          "|",          "\"",         "\\",  " ",
                                       "\t",         "\x01",       "\xC3\xA9",   "YES",        "yes", "no",
                                       "01/02/2003", "  /  /    ", "C:\\logs\\", "kestrel.log"};
  std::string text;
  for (unsigned n = r() % 5; n > 0; --n) text += pieces[r() % 16];
  if (r() % 9 == 0) text += std::string(20 + r() % 240, 'p');
  return text;
}

int32_t RandomNumber(std::mt19937& r) {
  static const int32_t numbers[] = {0, 1, -1, 20, 2000, INT32_MIN, INT32_MAX, 256, -5, 75, 257, 2};
  return numbers[r() % 12];
}

// The start the scenario finds: 0 no file, 1 a first run, 2 and 3 a file edited by hand.
int StartOf(unsigned seed) {
  return int(seed % 4);
}

// held: every write after the start is held and made in one at the end, which must change nothing.
std::string Replay(unsigned seed, bool held) {
  std::mt19937 r(seed);
  std::string record;
  auto note = [&](const std::string& s) { record += s + "\n"; };
  if (StartOf(seed) == 1) note("startup " + std::to_string(ApplyStartupSettings().notices.size()));
  if (held) HoldSettingsWrites();
  note(std::string("open ") + (OpenSettingsKey() ? "1" : "0"));
  for (unsigned steps = 5 + r() % 20; steps > 0; --steps) {
    switch (r() % 18) {
      case 0:
        WriteLimit(RandomNumber(r));
        break;
      case 1:
        WriteOrder(RandomNumber(r));
        break;
      case 2:
        WriteGetAll(r() % 2);
        break;
      case 3:
        WriteUseBetween(r() % 2);
        break;
      case 4:
        WriteStartMinimized(r() % 2);
        break;
      case 5:
        WriteLog(r() % 2);
        break;
      case 6:
        WriteLocalIndex(r() % 2);
        break;
      case 7:
        WriteStartDate(RandomText(r));
        break;
      case 8:
        WriteEndDate(RandomText(r));
        break;
      case 9:
        WriteLogFile(RandomText(r));
        break;
      case 10:
        WriteVersion((unsigned char)(r()), (unsigned char)(r() % 3));
        break;
      case 11:
        ConvertLogFlag();
        break;
      case 12:
        ConvertStartMinimizedFlag();
        break;
      case 13:
      case 14: {
        std::vector<std::string> items;
        for (unsigned n = r() % 4; n > 0; --n) items.push_back(RandomText(r));
        if (r() % 7 == 0) items.push_back(std::string("n\0ul", 4));
        const char* company = r() % 5 ? "Harrow" : "";
        note(std::string("history ") +
             (HistoryStore::WriteHistory(company, "Kestrel", "MaskHistory", items) ? "1" : "0"));
        break;
      }
      case 15:
        note(std::string("close ") + std::to_string(CloseSettingsKey()));
        break;
      case 16:
        note(std::string("reopen ") + (OpenSettingsKey() ? "1" : "0"));
        break;
      case 17:
        note("create " + std::to_string(CreateSettingsKey()));
        break;
    }
  }
  if (held) WriteHeldSettings();
  OpenSettingsKey();
  unsigned char first = 0, second = 0;
  int32_t limit = 7, order = 7;
  const bool version = ReadVersion(first, second), hasLimit = ReadLimit(limit), hasOrder = ReadOrder(order);
  note("version " + std::to_string(version) + " " + std::to_string(first) + " " + std::to_string(second));
  note("flags " + std::to_string(ReadStartMinimized()) + std::to_string(ReadGetAll()) +
       std::to_string(ReadLog()) + std::to_string(ReadUseBetween()) + std::to_string(ReadLocalIndex()));
  note("limit " + std::to_string(hasLimit) + " " + std::to_string(limit));
  note("order " + std::to_string(hasOrder) + " " + std::to_string(order));
  note("dates [" + ReadStartDate() + "] [" + ReadEndDate() + "]");
  note("logfile [" + ReadLogFile() + "]");
  CloseSettingsKey();
  for (const char* company : {"Harrow", HistoryStore::kDefaultCompany}) {
    const HistoryStore::Stored stored = HistoryStore::ReadHistory(company, "Kestrel", "MaskHistory");
    note("history [" + stored.text + "] " + (stored.items ? std::to_string(stored.items->size()) : "-"));
    if (stored.items)
      for (const std::string& item : *stored.items) note("  [" + item + "]");
  }
  return record;
}

// The record: per case "<seed> <length>\n<file>", then "<length>\n<values read>".
std::vector<std::pair<std::string, std::string>> Recorded() {
  std::ifstream in(SETTINGS_REPLAY, std::ios::binary);
  std::vector<std::pair<std::string, std::string>> cases;
  for (unsigned seed, size; in >> seed >> size;) {
    std::string file(size, '\0'), values;
    in.get();
    in.read(file.data(), size);
    in >> size;
    in.get();
    values.resize(size);
    in.read(values.data(), size);
    cases.emplace_back(file, values);
  }
  return cases;
}

}  // namespace

using SettingsReplay = SettingsFixture;

TEST_F(SettingsReplay, WritesTheSameFileAndReadsTheSameValues) {
  const auto cases = Recorded();
  ASSERT_EQ(cases.size(), 64u);
  for (unsigned seed = 1; seed <= cases.size(); ++seed) {
    for (bool held : {false, true}) {
      const std::string folder = m_dir.path() + "/" + std::to_string(seed) + (held ? "held" : "");
      std::filesystem::create_directories(folder + "/Harrow");
      SettingsFile::Shared().SetPath(folder + "/Harrow/Kestrel.reg");
      if (StartOf(seed) >= 2) WriteWholeFile(folder + "/Harrow/Kestrel.reg", kHandMade[StartOf(seed) - 2]);
      EXPECT_EQ(Replay(seed, held), cases[seed - 1].second) << "case " << seed << (held ? " held" : "");
      EXPECT_EQ(ReadWholeFile(folder + "/Harrow/Kestrel.reg"), cases[seed - 1].first)
          << "case " << seed << (held ? " held" : "");
    }
  }
}
