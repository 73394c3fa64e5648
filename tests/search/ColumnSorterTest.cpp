#include <gtest/gtest.h>

#include <limits>

#include "search/ColumnSorter.h"

TEST(ColumnSorter, NumberKeyPutsTheLastTwoCharactersFirst) {
  // MMDDYY dates sort by year first.
  EXPECT_EQ(CColumnSorter::NumberKey("123197"), 971231);
  EXPECT_EQ(CColumnSorter::NumberKey("010198"), 980101);
  EXPECT_LT(CColumnSorter::NumberKey("123197"), CColumnSorter::NumberKey("010198"));
  // Shorter than two characters: the text itself; nothing to read gives 0.
  EXPECT_EQ(CColumnSorter::NumberKey("7"), 7);
  EXPECT_EQ(CColumnSorter::NumberKey(""), 0);
  EXPECT_EQ(CColumnSorter::NumberKey("ab"), 0);
  // Leading white space is skipped, one sign is taken, reading stops at a non-digit.
  EXPECT_EQ(CColumnSorter::NumberKey("1 2"), 21);      // " 2" + "1" -> " 21"
  EXPECT_EQ(CColumnSorter::NumberKey("12-3"), -312);   // "-3" + "12"
  EXPECT_EQ(CColumnSorter::NumberKey("5x1234"), 345);  // "34" + "5x12"
  EXPECT_EQ(CColumnSorter::NumberKey("99+-"), 0);      // "+-99": a second sign is no digit
  EXPECT_EQ(CColumnSorter::NumberKey(std::string(40, '9')), std::numeric_limits<int64_t>::max());
}

TEST(ColumnSorter, TextCompareFoldsAsciiCaseAndComparesUnsignedBytes) {
  EXPECT_EQ(CColumnSorter::CompareText("Release.A", "release.a"), 0);
  EXPECT_LT(CColumnSorter::CompareText("abc", "abcd"), 0);
  EXPECT_GT(CColumnSorter::CompareText("b", "Abc"), 0);
  // 'Z' compares as 'z', above '_' (a case-sensitive compare puts it below).
  EXPECT_GT(CColumnSorter::CompareText("Z", "_"), 0);
  // Bytes above 0x7F sort after ASCII (a signed compare puts them first).
  EXPECT_GT(CColumnSorter::CompareText("\xC3\xA9", "z"), 0);
  // Only ASCII letters fold.
  EXPECT_NE(CColumnSorter::CompareText("\xC3\x89", "\xC3\xA9"), 0);
}

TEST(ColumnSorter, SortOrderByKindAndDirection) {
  const std::vector<std::string> dates = {"063098", "123197", "010198", "063098"};
  CColumnSorter byDate(0);
  EXPECT_EQ(byDate.Kind(), CColumnSorter::KeyKind::Number);
  EXPECT_EQ(byDate.SortOrder(dates, true), (std::vector<size_t>{1, 2, 0, 3}));
  EXPECT_EQ(byDate.SortOrder(dates, false), (std::vector<size_t>{0, 3, 2, 1}));

  const std::vector<std::string> dirs = {"beta", "Alpha", "alpha2", "Gamma", "ALPHA"};
  CColumnSorter byDir(1);
  EXPECT_EQ(byDir.Kind(), CColumnSorter::KeyKind::Text);
  EXPECT_EQ(byDir.SortOrder(dirs, true), (std::vector<size_t>{1, 4, 2, 0, 3}));
  EXPECT_EQ(byDir.SortOrder(dirs, false), (std::vector<size_t>{3, 0, 2, 1, 4}));
  EXPECT_TRUE(byDir.SortOrder({}, true).empty());
}
