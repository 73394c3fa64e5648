#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <set>

#include "platform/Diagnostics.h"
#include "platform/ServerText.h"
#include "platform/Utf8.h"

namespace {

std::string Utf8(char32_t cp) {
  std::string out;
  AppendUtf8(out, cp);
  return out;
}

// Written out here rather than taken from the code under test: what must never pass raw.
std::set<char32_t> HiddenCharacters() {
  std::set<char32_t> hidden;
  for (char32_t cp = 0; cp < 0x20; ++cp) hidden.insert(cp);
  for (char32_t cp = 0x7F; cp <= 0x9F; ++cp) hidden.insert(cp);
  for (char32_t cp : {0x061C, 0x200B, 0x200E, 0x200F, 0x2028, 0x2029, 0x202A, 0x202B, 0x202C, 0x202D, 0x202E,
                      0x2060, 0x2066, 0x2067, 0x2068, 0x2069, 0xFEFF})
    hidden.insert(cp);
  return hidden;
}

// The code points of the valid UTF-8 in text.
std::vector<char32_t> CodePoints(const std::string& text) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const size_t length = Utf8SequenceAt(text, i, cp);
    if (length) out.push_back(cp);
    i += length ? length : 1;
  }
  return out;
}

bool IsValidUtf8Text(const std::string& text) {
  char32_t cp = 0;
  for (size_t i = 0, n = 0; i < text.size(); i += n)
    if ((n = Utf8SequenceAt(text, i, cp)) == 0) return false;
  return true;
}

}  // namespace

TEST(ServerText, EachHiddenCharacterHasAVisibleFormAndItsNeighboursPassAsTheyAre) {
  for (char32_t cp : HiddenCharacters()) {
    SCOPED_TRACE(static_cast<unsigned>(cp));
    const std::string raw = Utf8(cp);
    char number[16];
    std::snprintf(number, sizeof number, "<U+%04X>", static_cast<unsigned>(cp));
    const std::string shown = cp < 0x20 ? Utf8(0x2400 + cp) : cp == 0x7F ? Utf8(0x2421) : number;
    EXPECT_EQ(ShownServerText("a" + raw + "b"), "a" + shown + "b");
    std::string escaped;
    for (unsigned char c : raw) {
      std::snprintf(number, sizeof number, "\\x%02x", c);
      escaped += number;
    }
    EXPECT_EQ(EscapedServerText("a" + raw + "b"), "a" + escaped + "b");
  }
  // Joiners, no-break spaces and the neighbours of each range are text.
  for (char32_t cp : {0x20, 0x7E, 0xA0, 0xAD, 0x61B, 0x61D, 0x200A, 0x200C, 0x200D, 0x2010, 0x2027, 0x202F,
                      0x2061, 0x2065, 0x206A, 0xFEFE, 0xFF01, 0x1F600}) {
    SCOPED_TRACE(static_cast<unsigned>(cp));
    EXPECT_EQ(ShownServerText(Utf8(cp)), Utf8(cp));
    EXPECT_EQ(EscapedServerText(Utf8(cp)), Utf8(cp));
  }
}

TEST(ServerText, TheLogsEscapeCannotBeForgedAndBytesThatAreNotUtf8StayAsToday) {
  // A name typed with "\x0a" in it no longer reads like an escaped line feed.
  EXPECT_EQ(EscapedServerText("Odd\\x0a.Name-GRP"), "Odd\\\\x0a.Name-GRP");
  EXPECT_EQ(EscapedServerText("Odd\n.Name-GRP"), "Odd\\x0a.Name-GRP");
  EXPECT_EQ(EscapedServerText("\\"), "\\\\");
  // A terminal title and hidden text, from an error message.
  EXPECT_EQ(EscapedServerText("Table\x1b]0;owned\x07 gone\x1b[8m"), "Table\\x1b]0;owned\\x07 gone\\x1b[8m");
  // Invalid UTF-8: raw in the log, one U+FFFD a byte on screen; a cut bidi control is not one.
  EXPECT_EQ(EscapedServerText("Bad.\xff\xc3.\xe2\x80"), "Bad.\xff\xc3.\xe2\x80");
  EXPECT_EQ(ShownServerText("Bad.\xff\xc3.\xe2\x80"), "Bad.\ufffd\ufffd.\ufffd\ufffd");
  EXPECT_EQ(ShownServerText("Rev.\xe2\x80\xaePRG-\xc2\x9b"), "Rev.<U+202E>PRG-<U+009B>");
  // A backslash is only the log's to escape: on screen a name is as it was typed.
  EXPECT_EQ(ShownServerText("Odd\\x0a"), "Odd\\x0a");
}

TEST(ServerText, GeneratedTextsComeOutVisibleAndTheLogReadsBackToTheBytes) {
  const std::set<char32_t> hidden = HiddenCharacters();
  std::vector<std::string> pieces = {"a",
                                     "Z",
                                     " ",
                                     ".",
                                     "-",
                                     "\\",
                                     "\\x",
                                     "x0a",
                                     "\\\\",
                                     "<U+202E>",
                                     "\xc3\xa9",
                                     "\xf0\x9f\x98\x80",
                                     "\xff",
                                     "\xc3",
                                     "\xe2\x80",
                                     "\xc0\x8a",
                                     "\xed\xa0\x80",
                                     "\x80",
                                     std::string(1, '\0')};
  for (char32_t cp : hidden) pieces.push_back(Utf8(cp));
  std::mt19937 random(23);
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    for (int k = static_cast<int>(random() % 12); k > 0; --k) text += pieces[random() % pieces.size()];
    SCOPED_TRACE(::testing::PrintToString(text));

    const std::string escaped = EscapedServerText(text);
    ASSERT_EQ(UnescapeServerText(escaped), text);
    for (char32_t cp : CodePoints(escaped)) ASSERT_EQ(hidden.count(cp), 0u) << static_cast<unsigned>(cp);
    for (size_t i = escaped.find('\\'); i != std::string::npos; i = escaped.find('\\', i)) {
      const bool pair = escaped.compare(i, 2, "\\\\") == 0;
      ASSERT_TRUE(pair || (escaped.compare(i, 2, "\\x") == 0 && i + 3 < escaped.size() &&
                           isxdigit(static_cast<unsigned char>(escaped[i + 2])) &&
                           isxdigit(static_cast<unsigned char>(escaped[i + 3]))));
      i += pair ? 2 : 4;
    }

    const std::string shown = ShownServerText(text);
    ASSERT_TRUE(IsValidUtf8Text(shown));
    for (char32_t cp : CodePoints(shown)) ASSERT_EQ(hidden.count(cp), 0u) << static_cast<unsigned>(cp);
    // Text that needs no care comes through unchanged on both outputs.
    if (IsValidUtf8Text(text) && text.find('\\') == std::string::npos) {
      bool plain = true;
      for (char32_t cp : CodePoints(text)) plain = plain && hidden.count(cp) == 0;
      if (plain) {
        ASSERT_EQ(shown, text);
        ASSERT_EQ(escaped, text);
      }
    }
  }
}

TEST(ServerText, AFailureLineOnStandardErrorIsOneLineThatCommandsNoTerminal) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const int saved = dup(STDERR_FILENO);
  ASSERT_GE(saved, 0);
  ASSERT_EQ(dup2(pipeFds[1], STDERR_FILENO), STDERR_FILENO);
  ReportFailure(
      "primary server 127.0.0.9: count query failed: MySQL error 1146: \x1b]0;owned\x07Gone\x1b[8m\r\nfake");
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(pipeFds[1]);
  std::string got;
  char buffer[512];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    got.append(buffer, static_cast<size_t>(n));
  close(pipeFds[0]);
  EXPECT_EQ(got,
            "kestrel: primary server 127.0.0.9: count query failed: MySQL error 1146: "
            "\\x1b]0;owned\\x07Gone\\x1b[8m\\x0d\\x0afake\n");
}
