#include <gtest/gtest.h>

#include <random>

#include "platform/SettingsText.h"

namespace {

const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kKestrel = "SOFTWARE\\Harrow\\Kestrel";

SettingsText Parsed(const std::string& text) {
  SettingsText settings;
  EXPECT_TRUE(settings.Parse(text)) << text;
  return settings;
}

}  // namespace

TEST(SettingsText, WritesTheExportFormatKeepingWhatItDoesNotKnow) {
  SettingsText text = Parsed(kHead +
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n\"Bin\"=hex:AB,01\r\n"
                             "\"Multi\"=hex(7):61,00,62,00\r\n@=dword:8000feff\r\n\"Odd\"=hex(4):01,02\r\n");
  EXPECT_TRUE(text.Apply(kKestrel, SettingChange{"Version", uint32_t(0x4b)}));
  EXPECT_TRUE(text.Apply(kKestrel, SettingChange{"LOGFILE", std::string("C:\\logs\\\"x\".log")}));
  EXPECT_TRUE(text.Apply(kKestrel, SettingChange{"Line", std::string("two\r\nlines")}));
  EXPECT_FALSE(text.Apply("software\\harrow\\KESTREL", SettingChange{"version", uint32_t(0x4b)}));
  EXPECT_TRUE(text.Apply("software\\harrow\\kestrel\\HistoryCombo",
                         SettingChange{"List", std::vector<std::string>{"a|b", "c"}}));
  EXPECT_TRUE(text.Apply("SOFTWARE\\Empty\\Leaf", std::nullopt));
  EXPECT_FALSE(text.Apply(kKestrel, SettingChange{"Missing", std::monostate()}));
  EXPECT_EQ(text.Format(), kHead +
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty\\Leaf]\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
                               "\"Bin\"=hex:ab,01\r\n\"Multi\"=hex(7):61,00,62,00\r\n@=dword:8000feff\r\n"
                               "\"Odd\"=hex(4):01,02\r\n\"Version\"=dword:0000004b\r\n"
                               "\"LOGFILE\"=\"C:\\\\logs\\\\\\\"x\\\".log\"\r\n"
                               "\"Line\"=hex(1):74,77,6f,0d,0a,6c,69,6e,65,73,00\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n"
                               "\"List\"=hex(7):61,7c,62,00,63,00,00\r\n\r\n");
}

// Values written in any shape, read back as the settings read them, and the file written again
// the same after a reading.
TEST(SettingsText, GeneratedValuesSurviveARoundTrip) {
  std::mt19937 random(7);
  const char* const keys[] = {"SOFTWARE\\Harrow\\Kestrel", "SOFTWARE\\harrow\\Kestrel\\HistoryCombo",
                              "SOFTWARE\\B", "SOFTWARE\\b\\c"};
  const std::string pieces[] = {"a", "\"", "\\", "\t", "\r\n", std::string(1, '\0'), "\xC3\xA9", " |"};
  for (int round = 0; round < 200; ++round) {
    SettingsText text;
    std::vector<std::pair<std::string, SettingChange>> applied;
    for (int n = random() % 8; n > 0; --n) {
      SettingChange change{"v" + std::to_string(random() % 5), std::monostate()};
      std::string s;
      for (int k = random() % 4; k > 0; --k) s += pieces[random() % 8];
      switch (random() % 4) {
        case 0:
          change.value = uint32_t(random());
          break;
        case 1:
          change.value = s;
          break;
        case 2:
          change.value = std::vector<std::string>{s, "x"};
          break;
      }
      text.Apply(keys[random() % 4], change);
    }
    const std::string written = text.Format();
    SettingsText back = Parsed(written);
    EXPECT_EQ(back.Format(), written);
    for (const char* key : keys) {
      for (int v = 0; v < 5; ++v) {
        const std::string name = "V" + std::to_string(v);
        EXPECT_EQ(back.Number(key, name), text.Number(key, name));
        EXPECT_EQ(back.Text(key, name), text.Text(key, name));
        EXPECT_EQ(back.List(key, name), text.List(key, name));
        EXPECT_EQ(back.IsText(key, name), text.IsText(key, name));
      }
    }
  }
}

TEST(SettingsText, ReadsLfLinesCommentsContinuationsAndAByteOrderMark) {
  SettingsText text = Parsed(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n; a comment\n[hkey_local_machine\\Software\\X]\n"
      "\"N\"=DWORD:0000ABCD\n\"H\"=hex(2):41,42,\\\n  "
      "43,00\n\"Gone\"=\"x\"\n\"Gone\"=-\n\"Long\"=hex:01,02,03,04,05\n");
  EXPECT_EQ(text.Number("SOFTWARE\\x", "n"), 0xabcdu);
  EXPECT_EQ(text.Text("SOFTWARE\\x", "h"), "ABC");
  EXPECT_EQ(text.Text("SOFTWARE\\x", "h", 3), std::nullopt);  // four bytes with the NUL
  EXPECT_FALSE(text.IsText("SOFTWARE\\x", "h"));
  EXPECT_EQ(text.Text("SOFTWARE\\x", "Gone"), std::nullopt);
  EXPECT_EQ(text.Number("SOFTWARE\\x", "Long"), std::nullopt);  // more than four bytes
  EXPECT_TRUE(text.HasKey("software"));
  EXPECT_TRUE(text.HasKey("SOFTWARE\\X"));
  EXPECT_FALSE(text.HasKey("SOFTWARE\\Y"));
}

TEST(SettingsText, RefusesAnythingNotWhollyInTheFormat) {
  const std::string head = kHead + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n";
  const std::string whole = head + "\"LOGFILE\"=\"kestrel.log\"\r\n\"Version\"=dword:0000004b\r\n";
  SettingsText text;
  ASSERT_TRUE(text.Parse(whole));
  // Every cut inside a value line must be noticed, never half-read as a shorter value.
  for (size_t cut : {head.size() + 5, head.size() + 14, head.size() + 22, whole.size() - 5, whole.size() - 3})
    EXPECT_FALSE(text.Parse(whole.substr(0, cut))) << whole.substr(0, cut);
  for (const std::string& bad : {
           std::string(""),
           std::string("garbage\r\n"),
           std::string("REGEDIT4\r\n"),
           std::string("Windows Registry Editor Version 5.00\r\n\"a\"=\"b\"\r\n"),  // value before a key
           head + std::string("\"a\"=\"b\0c\"\r\n", 11),                            // binary
           head + "\"a\"=dword:1\r\n",
           head + "\"a\"=hex:1,02\r\n",
           head + "\"a\"=hex:01,\r\n",
           head + "\"a\"=\"x\\n\"\r\n",
           head + "\"a\"=\"x\" junk\r\n",
           head + "\"a\"=word:00000000\r\n",
           head + "\"a\"=\r\n",
           head + "[HKEY_CURRENT_USER\\X]\r\n",
           head + "[-HKEY_LOCAL_MACHINE\\X]\r\n",
           head + "[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n",
           head + "[HKEY_LOCAL_MACHINE\\A\r\n",
       })
    EXPECT_FALSE(text.Parse(bad)) << bad;
  EXPECT_FALSE(text.HasKey("SOFTWARE\\K"));  // nothing half-read is kept
}

// What a registry editor's export gives: UTF-16LE behind a byte-order mark.
TEST(SettingsText, ReadsAUtf16Export) {
  const std::u16string units =
      u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n"
      u"\"LOGFILE\"=\"Z\u00FCrich \U0001F985.log\"\r\n\"Version\"=dword:0000004b\r\n";
  std::string bytes;
  for (char16_t unit : units) bytes += {char(unit & 0xFF), char(unit >> 8)};
  SettingsText text = Parsed(bytes);
  EXPECT_EQ(text.Text("SOFTWARE\\K", "LOGFILE"), "Z\xC3\xBCrich \xF0\x9F\xA6\x85.log");
  EXPECT_EQ(text.Number("SOFTWARE\\K", "Version"), 0x4bu);

  // A cut unit or a half of a surrogate pair is not an export.
  EXPECT_FALSE(text.Parse(bytes.substr(0, bytes.size() - 1)));
  std::string lone = bytes;
  const size_t high = lone.find("\x3E\xD8");  // the eagle's first unit
  ASSERT_NE(high, std::string::npos);
  lone.replace(high + 2, 2, "A\0", 2);
  EXPECT_FALSE(text.Parse(lone));
}
