#include <gtest/gtest.h>

#include <set>

#include "search/NfoText.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

}  // namespace

TEST(NfoText, Cp437TableKeepsAsciiAndLayoutAndPutsArtWhereItBelongs) {
  for (int b = 0x20; b < 0x7F; ++b) EXPECT_EQ(Cp437ToUnicode(b), static_cast<char32_t>(b)) << b;
  EXPECT_EQ(Cp437ToUnicode('\t'), U'\t');
  EXPECT_EQ(Cp437ToUnicode('\n'), U'\n');
  EXPECT_EQ(Cp437ToUnicode('\r'), U'\r');
  EXPECT_EQ(Cp437ToUnicode(0x00), U' ');

  // Every other byte draws a character of its own.
  std::set<char32_t> seen;
  for (int b = 1; b < 256; ++b) seen.insert(Cp437ToUnicode(b));
  EXPECT_EQ(seen.size(), 255u);

  // Shades, single and double lines and blocks fill 0xB0-0xDF without a stray letter.
  for (int b = 0xB0; b <= 0xDF; ++b) {
    const char32_t cp = Cp437ToUnicode(b);
    EXPECT_TRUE(cp >= 0x2500 && cp <= 0x259F) << std::hex << b;
  }
  struct Known {
    int byte;
    char32_t cp;
  };
  const Known known[] = {{0x01, U'☺'}, {0x1A, U'→'}, {0x7F, U'⌂'}, {0x80, U'Ç'}, {0x9E, U'₧'},
                         {0xA9, U'⌐'}, {0xB0, U'░'}, {0xB2, U'▓'}, {0xB3, U'│'}, {0xBA, U'║'},
                         {0xC4, U'─'}, {0xC9, U'╔'}, {0xCD, U'═'}, {0xD8, U'╪'}, {0xDB, U'█'},
                         {0xDC, U'▄'}, {0xDD, U'▌'}, {0xDE, U'▐'}, {0xDF, U'▀'}, {0xE1, U'ß'},
                         {0xE6, U'µ'}, {0xF9, U'∙'}, {0xFA, U'·'}, {0xFE, U'■'}, {0xFF, U'\u00A0'}};
  for (const Known& k : known) EXPECT_EQ(Cp437ToUnicode(k.byte), k.cp) << std::hex << k.byte;
}

TEST(NfoText, Utf8ValidityIsStrict) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain\r\nascii\x01\x7f"));
  EXPECT_TRUE(IsValidUtf8("\xc3\xa4 \xe2\x96\x88 \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf"));
  EXPECT_TRUE(IsValidUtf8(std::string("nul\0inside", 10)));
  const std::string bad[] = {
      Bytes({0xDB}),                    // a lone CP437 block
      Bytes({0x80}),                    // a continuation without a lead
      Bytes({0xC3}),                    // cut off at the end
      Bytes({0xE2, 0x96}),              // cut off at the end
      Bytes({0xC3, 0x41}),              // lead followed by ASCII
      Bytes({0xC0, 0x80}),              // overlong NUL
      Bytes({0xC1, 0xBF}),              // overlong
      Bytes({0xE0, 0x80, 0x80}),        // overlong
      Bytes({0xF0, 0x8F, 0xBF, 0xBF}),  // overlong
      Bytes({0xED, 0xA0, 0x80}),        // a surrogate
      Bytes({0xF4, 0x90, 0x80, 0x80}),  // beyond U+10FFFF
      Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}),
      Bytes({0xFF}),
  };
  for (const std::string& b : bad)
    EXPECT_FALSE(IsValidUtf8("ok " + b + " ok")) << std::hex << int(b[0] & 0xFF);
}

TEST(NfoText, WholeTextIsUtf8OrWholeTextIsCp437) {
  const std::string utf8 = "\xe2\x96\x88\xe2\x96\x88 caf\xc3\xa9\r\nline two\n";
  EXPECT_EQ(NfoTextToUtf8(utf8), utf8);

  // One byte that is not UTF-8 turns the whole text to CP437, the valid pairs before it too.
  const std::string mixed = "caf\xc3\xa9 \xdb\xdb\r\n";
  EXPECT_EQ(NfoTextToUtf8(mixed), "caf\u251c\u2310 \u2588\u2588\r\n");

  // All 256 bytes come out as valid UTF-8, one character each, CR LF and LF untouched.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string text = NfoTextToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_EQ(NfoTextToUtf8(std::string("\xb0\xb1\xb2\r\n\xdc\xdf\n", 8)),
            "\u2591\u2592\u2593\r\n\u2584\u2580\n");
  size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
  EXPECT_EQ(characters, 256u);
}
