#include <gtest/gtest.h>

#include "platform/RegistryText.h"

namespace {

std::vector<BYTE> Bytes(const std::string& s, bool nul = false) {
  std::vector<BYTE> v(s.begin(), s.end());
  if (nul) v.push_back(0);
  return v;
}

}  // namespace

TEST(RegistryText, WritesTheExportFormatWithCrLfAndLowerCaseHex) {
  RegistryTree tree;
  tree.CreateKey("SOFTWARE\\Harrow\\Kestrel");
  tree.SetValue("SOFTWARE\\Harrow\\Kestrel", "Version", REG_DWORD, {0x4b, 0, 0, 0});
  tree.SetValue("SOFTWARE\\Harrow\\Kestrel", "LOGFILE", REG_SZ, Bytes("C:\\logs\\\"x\".log", true));
  tree.SetValue("SOFTWARE\\Harrow\\Kestrel", "Bin", REG_BINARY, {0xAB, 0x01});
  tree.SetValue("SOFTWARE\\Harrow\\Kestrel", "Multi", REG_MULTI_SZ, Bytes(std::string("a\0b\0", 4)));
  tree.SetValue("software\\harrow\\kestrel\\HistoryCombo", "MaskHistory", REG_SZ,
                Bytes("newest|older", true));
  tree.SetValue("SOFTWARE\\Harrow\\Kestrel", "", REG_DWORD, {0xff, 0xfe, 0, 0x80});

  EXPECT_EQ(FormatRegistryText(tree),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"
            "\"Version\"=dword:0000004b\r\n"
            "\"LOGFILE\"=\"C:\\\\logs\\\\\\\"x\\\".log\"\r\n"
            "\"Bin\"=hex:ab,01\r\n"
            "\"Multi\"=hex(7):61,00,62,00\r\n"
            "@=dword:8000feff\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n"
            "\"MaskHistory\"=\"newest|older\"\r\n\r\n");
}

TEST(RegistryText, RoundTripsEveryShapeOfDataExactly) {
  RegistryTree tree;
  const std::string k = "SOFTWARE\\A";
  tree.SetValue(k, "plain", REG_SZ, Bytes("tab\there \xC3\xA9", true));
  tree.SetValue(k, "no nul", REG_SZ, Bytes("abc"));               // not a C string: kept as hex(1)
  tree.SetValue(k, "line", REG_SZ, Bytes("two\r\nlines", true));  // would break the line format
  tree.SetValue(k, "short dword", REG_DWORD, {1, 2});             // not 4 bytes: hex(4)
  tree.SetValue(k, "empty", REG_BINARY, {});
  tree.SetValue(k, "qword", 11, {1, 2, 3, 4, 5, 6, 7, 8});
  tree.CreateKey("SOFTWARE\\Empty\\Leaf");

  RegistryTree back;
  ASSERT_TRUE(ParseRegistryText(FormatRegistryText(tree), back));
  for (const char* name : {"plain", "no nul", "line", "short dword", "empty", "qword"}) {
    const RegistryValue* a = tree.FindValue(k, name);
    const RegistryValue* b = back.FindValue(k, name);
    ASSERT_TRUE(b) << name;
    EXPECT_EQ(a->type, b->type) << name;
    EXPECT_EQ(a->data, b->data) << name;
  }
  EXPECT_TRUE(back.HasKey("software\\empty\\leaf"));
  EXPECT_EQ(FormatRegistryText(back), FormatRegistryText(tree));
}

TEST(RegistryText, ReadsLfLinesCommentsContinuationsAndAByteOrderMark) {
  RegistryTree tree;
  ASSERT_TRUE(
      ParseRegistryText("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n"
                        "; a comment\n"
                        "[hkey_local_machine\\Software\\X]\n"
                        "\"N\"=DWORD:0000ABCD\n"
                        "\"H\"=hex(2):41,42,\\\n  43,00\n"
                        "\"Gone\"=\"x\"\n"
                        "\"Gone\"=-\n",
                        tree));
  ASSERT_TRUE(tree.FindValue("SOFTWARE\\x", "n"));
  EXPECT_EQ(tree.FindValue("SOFTWARE\\x", "n")->data, (std::vector<BYTE>{0xcd, 0xab, 0, 0}));
  EXPECT_EQ(tree.FindValue("SOFTWARE\\x", "H")->data, Bytes("ABC", true));
  EXPECT_EQ(tree.FindValue("SOFTWARE\\x", "H")->type, REG_EXPAND_SZ);
  EXPECT_FALSE(tree.FindValue("SOFTWARE\\x", "Gone"));
}

TEST(RegistryText, RefusesAnythingNotWhollyInTheFormat) {
  const std::string head =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n";
  const std::string whole = head + "\"LOGFILE\"=\"kestrel.log\"\r\n\"Version\"=dword:0000004b\r\n";
  RegistryTree tree;
  ASSERT_TRUE(ParseRegistryText(whole, tree));
  // Every cut inside a value line must be noticed, never half-read as a shorter value.
  for (size_t cut : {head.size() + 5, head.size() + 14, head.size() + 22, whole.size() - 5, whole.size() - 3})
    EXPECT_FALSE(ParseRegistryText(whole.substr(0, cut), tree)) << whole.substr(0, cut);
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
           head + "[HKEY_CURRENT_USER\\X]\r\n",
           head + "[-HKEY_LOCAL_MACHINE\\X]\r\n",
           head + "[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n",
           head + "[HKEY_LOCAL_MACHINE\\A\r\n",
       })
    EXPECT_FALSE(ParseRegistryText(bad, tree)) << bad;
}

// What a registry editor's export gives: UTF-16LE behind a byte-order mark.
TEST(RegistryText, ReadsAUtf16Export) {
  const std::u16string units =
      u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]\r\n"
      u"\"LOGFILE\"=\"Z\u00FCrich \U0001F985.log\"\r\n\"Version\"=dword:0000004b\r\n";
  std::string bytes;
  for (char16_t unit : units) bytes += {char(unit & 0xFF), char(unit >> 8)};
  RegistryTree tree;
  ASSERT_TRUE(ParseRegistryText(bytes, tree));
  ASSERT_TRUE(tree.FindValue("SOFTWARE\\K", "LOGFILE"));
  EXPECT_EQ(tree.FindValue("SOFTWARE\\K", "LOGFILE")->data,
            Bytes("Z\xC3\xBCrich \xF0\x9F\xA6\x85.log", true));
  EXPECT_EQ(tree.FindValue("SOFTWARE\\K", "Version")->data, (std::vector<BYTE>{0x4b, 0, 0, 0}));

  // A cut unit or a half of a surrogate pair is not an export.
  EXPECT_FALSE(ParseRegistryText(bytes.substr(0, bytes.size() - 1), tree));
  std::string lone = bytes;
  const size_t high = lone.find("\x3E\xD8");  // the eagle's first unit
  ASSERT_NE(high, std::string::npos);
  lone.replace(high + 2, 2, "A\0", 2);
  EXPECT_FALSE(ParseRegistryText(lone, tree));
}
