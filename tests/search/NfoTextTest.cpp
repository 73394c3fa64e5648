#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/ServerText.h"
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

TEST(NfoText, PreparedTextEndsALineAtEachLineEndAndFindsEveryLine) {
  // CR LF, LF and a lone CR each end a line; a tab widens its line to the next stop of eight.
  const NfoText text = PrepareNfoText("ab\r\ncd\ne\rf\tg\r\n");
  EXPECT_EQ(text.characters, u"ab\ncd\ne\nf\tg\n");
  EXPECT_EQ(text.lineCount, 5u);
  EXPECT_EQ(text.widestLine, 9u);
  EXPECT_TRUE(text.hasTabs);
  // In a UTF-8 text a control character shows as its picture, and a NUL ends nothing.
  EXPECT_EQ(PrepareNfoText(std::string("a\0b\x1b\x7f\xf0\x9f\x98\x80", 9)).characters,
            u"a\u2400b\u241b\u2421\U0001F600");

  // Lines just within the look-ahead for a line end, just beyond it and far beyond it end where
  // they end.
  auto lineText = [](size_t i) {
    std::string text = std::to_string(i);
    const size_t length[] = {NfoText::kLongLine, NfoText::kLongLine + 1, 3 * NfoText::kLongLine};
    if (i % 100 == 7 && i < 300) text.resize(length[i / 100], '-');
    return text;
  };
  std::string many;
  for (size_t i = 0; i < 1000; ++i) many += lineText(i) + "\n";
  const NfoText lines = PrepareNfoText(many);
  EXPECT_EQ(lines.lineCount, 1001u);
  for (size_t line : {0, 1, 7, 8, 63, 64, 65, 107, 108, 128, 207, 208, 999, 1000}) {
    const size_t start = lines.LineStart(line);
    const std::u16string shown = lines.characters.substr(start, lines.LineEnd(start) - start);
    const std::string expected = line == 1000 ? "" : lineText(line);
    EXPECT_EQ(shown, std::u16string(expected.begin(), expected.end())) << line;
  }
}

// Columns of long tab lines are found from the kept ones, as a walk from the line's start finds
// them, never walking further than a long line's length.
TEST(NfoText, ColumnsOfLongTabLinesComeFromTheKeptOnes) {
  std::mt19937 random(9122026);
  std::string bytes;
  for (int line = 0; line < 6; ++line) {
    const size_t length = line % 2 ? 3 * NfoText::kLongLine + 17 : static_cast<size_t>(line * 5);
    for (size_t i = 0; i < length; ++i) bytes += "\tab\xc3\xa9x"[random() % 6];
    bytes += line == 3 ? "\r\n" : "\n";
  }
  const NfoText text = PrepareNfoText(bytes);
  ASSERT_TRUE(text.hasTabs);
  for (size_t line = 0; line < text.lineCount; ++line) {
    const size_t start = text.LineStart(line), end = text.LineEnd(start);
    size_t column = 0;
    for (size_t i = start; i <= end; column = NfoText::NextColumn(text.characters[i++], column)) {
      if (i % 997 != 0 && i != end && i != start) continue;
      const auto [from, at] = text.WalkFromIndex(start, i);
      size_t walked = at;
      for (size_t k = from; k < i; ++k) walked = NfoText::NextColumn(text.characters[k], walked);
      EXPECT_EQ(walked, column) << line << " " << i;
      EXPECT_LE(i - from, NfoText::kLongLine);
      const auto [back, there] = text.WalkFromColumn(start, column);
      EXPECT_TRUE(back >= start && back <= i && there <= column) << line << " " << i;
      EXPECT_LE(i - back, NfoText::kLongLine);
    }
  }
}

TEST(NfoText, ARowsTextShowsEveryByteItWasSent) {
  EXPECT_EQ(ShownServerText("It's.A <b>Plain</b> Name-GRP"), "It's.A <b>Plain</b> Name-GRP");
  EXPECT_EQ(ShownServerText(std::string("a\0b\tc\x1b\x7f", 7)), "a\u2400b\u2409c\u241b\u2421");
  EXPECT_EQ(ShownServerText("caf\xc3\xa9 \xff\xc3 \xf0\x9f\x98\x80"), "caf\u00e9 \ufffd\ufffd \U0001F600");
}
