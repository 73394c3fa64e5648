#include <gtest/gtest.h>

#include "db/SearchRequest.h"
#include "db/SqlText.h"

namespace {

const std::string S1 = "SELECT DUPES_ID,DUPES_DATE,DUPES_DATE_STR,DUPES_DIR ";
const std::string S2 = "SELECT COUNT(*) ";
const std::string S3 = "FROM DUPES WHERE ";
const std::string S4 = " ( ";
const std::string S5 = " ) ";
const std::string S6 = " AND ";
const std::string S7 = " OR ";
const std::string S12 = " ) AND (DUPES_DATE >= '";
const std::string S13 = "' AND DUPES_DATE <= '";
const std::string S14 = "')";
const std::string S15 = " ORDER BY DUPES_DATE, DUPES_ID";
const std::string S16 = " ORDER BY DUPES_DATE DESC, DUPES_ID DESC";
const std::string S17 = " LIMIT ";

std::string Group(const std::string& w) {
  return " ( DUPES_DIR LIKE '%" + w + "%'" + " OR DUPES_DATE_STR LIKE '" + w + "' ) ";
}

// The mask part of a row query without range, order 1, limit 20.
std::string Where(const std::string& mask) {
  const std::string sql = BuildDupesQuery(mask, "", "", 20, 1, false);
  const std::string head = S1 + S3, tail = S16 + S17 + "20";
  EXPECT_EQ(sql.substr(0, head.size()), head);
  EXPECT_EQ(sql.substr(sql.size() - tail.size()), tail);
  return sql.substr(head.size(), sql.size() - head.size() - tail.size());
}

std::vector<std::string> Tokens(const std::string& mask) {
  std::string rest = NormaliseSearchMask(mask), word;
  std::vector<std::string> out;
  while (NextMaskWord(rest, word)) out.push_back(word);
  EXPECT_TRUE(word.empty());
  return out;
}

}  // namespace

TEST(MaskTokens, OperatorsSplitWildcardsBecomePercentBlanksCollapse) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Tokens("a*b|(c d)"), (V{"a%b", "|", "(", "c", "d", ")"}));
  EXPECT_EQ(Tokens("  a    b  "), (V{"a", "b"}));
  EXPECT_EQ(Tokens("a!b"), (V{"a", "!", "b"}));
  EXPECT_EQ(Tokens("x\ty"), (V{"x\ty"}));  // tabs are not separators
  EXPECT_EQ(Tokens("   "), V{});
  EXPECT_EQ(NormaliseSearchMask("\t(a)\r\n"), "( a )");
  std::string rest, word = "stale";
  EXPECT_FALSE(NextMaskWord(rest, word));
  EXPECT_EQ(word, "");
}

TEST(BuildDupesQuery, ImplicitAndAndOperatorFragments) {
  EXPECT_EQ(Where("foo bar"), Group("foo") + S6 + Group("bar"));
  EXPECT_EQ(Where("(a|b) c"), S4 + Group("a") + S7 + Group("b") + S5 + S6 + Group("c"));
  EXPECT_EQ(Where("(a|b)c"), Where("( a | b ) c"));
  EXPECT_EQ(Where("x & (y | z)"), Group("x") + S6 + S4 + Group("y") + S7 + Group("z") + S5);
  EXPECT_EQ(Where("(a) (b)"), S4 + Group("a") + S5 + S6 + S4 + Group("b") + S5);
  EXPECT_EQ(Where("(a)(b)"), Where("(a) (b)"));
  EXPECT_EQ(Where("a ((b))"), Group("a") + S6 + S4 + S4 + Group("b") + S5 + S5);
  EXPECT_EQ(Where("a!b"), Group("a") + S6 + Group("b"));
  EXPECT_EQ(Where("foo*bar"), Group("foo%bar"));
  EXPECT_EQ(Where("*"), Group("%"));
  EXPECT_EQ(Where("a_%b"), Group("a_%b"));
}

TEST(BuildDupesQuery, MalformedMasksPassThroughUnchecked) {
  EXPECT_EQ(Where("|a"), S7 + Group("a"));
  EXPECT_EQ(Where("a & & b"), Group("a") + S6 + S6 + Group("b"));
  EXPECT_EQ(Where("(a"), S4 + Group("a"));
  EXPECT_EQ(Where("   "), "");
}

TEST(BuildDupesQuery, RangeOrderLimitAndCount) {
  EXPECT_EQ(BuildDupesQuery("foo bar", "1998-01/01", "1998-12/31", 20, 1, false),
            S1 + S3 + S4 + Group("foo") + S6 + Group("bar") + S12 + "1998-01/01" + S13 + "1998-12/31" + S14 +
                S16 + S17 + "20");
  EXPECT_EQ(BuildDupesQuery("foo", "1998-01/01", "1998-12/31", 20, 0, true),
            S2 + S3 + S4 + Group("foo") + S12 + "1998-01/01" + S13 + "1998-12/31" + S14 + S15);
  // One bound alone is no range.
  EXPECT_EQ(BuildDupesQuery("foo", "1998-01/01", "", 5, 1, false), S1 + S3 + Group("foo") + S16 + S17 + "5");
  EXPECT_EQ(BuildDupesQuery("foo", "", "1998-01/01", 5, 1, true), S2 + S3 + Group("foo") + S16);
  for (int order : {0, -1, 2})
    EXPECT_EQ(BuildDupesQuery("f", "", "", 1, order, true), S2 + S3 + Group("f") + S15);
  EXPECT_EQ(BuildDupesQuery("f", "", "", 0, 1, false), S1 + S3 + Group("f") + S16 + S17 + "0");
  EXPECT_EQ(BuildDupesQuery("f", "", "", -7, 1, false), S1 + S3 + Group("f") + S16 + S17 + "-7");
}

TEST(BuildDupesQuery, QuotesAndBackslashesStayInsideTheLiterals) {
  EXPECT_EQ(Where("o'neil"), Group("o''neil"));
  EXPECT_EQ(Where("a\\b"), Group("a\\\\\\\\b"));
  EXPECT_EQ(Where("x\\"), Group("x\\\\\\\\"));
  // Bounds are plain literals: doubled, never able to end the string.
  EXPECT_EQ(BuildDupesQuery("f", "1998'", "1999\\", 1, 1, true),
            S2 + S3 + S4 + Group("f") + S12 + "1998''" + S13 + "1999\\\\" + S14 + S16);
}

// Only the words the names' character set cannot hold change: they match nothing.
TEST(BuildDupesQuery, AWordTheNamesCannotHoldMatchesNothing) {
  const auto latin1 = [](const std::string& word) { return CharsetCanHold("latin1", word); };
  for (const char* mask : {"Caf\xc3\xa9 & (a* | \xe2\x82\xac) !x", "'\\", ""})
    EXPECT_EQ(BuildDupesQuery(mask, "1998-01/01", "1999-01/01", 7, 0, true, latin1),
              BuildDupesQuery(mask, "1998-01/01", "1999-01/01", 7, 0, true))
        << mask;
  const std::string sql = BuildDupesQuery(
      "\xc5\x82\xc3\xb3"
      "d\xc5\xba | (x \xc5\x82)",
      "", "", 20, 1, false, latin1);
  EXPECT_EQ(sql.substr(S1.size() + S3.size()),
            " ( 1 = 0 ) " + S7 + S4 + Group("x") + S6 + " ( 1 = 0 ) " + S5 + S16 + S17 + "20");
}

// What each set of the server holds, as it converts: latin1 is the Windows code page 1252.
TEST(CharsetCanHold, EachSetHoldsItsOwnRepertoire) {
  struct Case {
    const char* charset;
    const char* text;
    bool held;
  } cases[] = {
      {"latin1", "Caf\xc3\xa9 \xe2\x82\xac \xc5\xa0 '\\ ?", true},  // é € Š
      {"latin1", "\xc5\x82", false},                                // ł
      {"latin1", "\xc2\x80", false},                                // U+0080: the byte 0x80 is €
      {"ascii", "\xc3\xa9", false},
      {"utf8mb3", "\xc5\x82\xe4\xb8\xad", true},  // ł 中
      {"utf8", "\xf0\x9f\x98\x80", false},        // 😀
      {"utf8mb4", "\xf0\x9f\x98\x80", true},
      {"utf8mb4", "\xc0\xaf", false},      // overlong '/'
      {"utf8mb4", "\xed\xa0\x80", false},  // a surrogate
      {"koi8r", "\xc5\x82", true},         // a set not known here
  };
  for (const Case& k : cases)
    EXPECT_EQ(CharsetCanHold(k.charset, k.text), k.held) << k.charset << " " << k.text;
}

TEST(DateHelpers, DigitsValidityAndConversion) {
  EXPECT_EQ(CountDigits("__/__/____"), 0);
  EXPECT_EQ(CountDigits("12/31/199_"), 7);
  EXPECT_EQ(CountDigits("12/31/1998"), 8);
  EXPECT_EQ(CountDigits(""), 0);

  for (const char* bad :
       {"00/10/1998", "13/10/1998", "10/00/1998", "10/32/1998", "__/__/____", "", "1", "-1/05/1998"})
    EXPECT_FALSE(IsValidMonthDay(bad)) << bad;
  for (const char* good :
       {"12/31/0000", "02/30/1998", "01/01/1998", " 1/ 5/1998", "+1/+5/1998", "1_/3_/1998"})
    EXPECT_TRUE(IsValidMonthDay(good)) << good;

  EXPECT_EQ(ToSqlDate("12/31/1998"), "1998-12/31");
  EXPECT_EQ(ToSqlDate("12.31.1998"), "1998-12.31");
  EXPECT_EQ(ToSqlDate("ab"), "ab-ab");  // short texts never read out of range
  EXPECT_EQ(ToSqlDate(""), "-");
}
