#include <gtest/gtest.h>

#include "controls/HistoryModel.h"
#include "controls/ToolbarPlacement.h"

namespace {
std::vector<std::string> Items(std::initializer_list<const char*> items) {
  return std::vector<std::string>(items.begin(), items.end());
}
}  // namespace

TEST(HistoryModelTest, AddMovesEqualItemToTopInNewCase) {
  CHistoryModel m;
  m.SetHistoryString("ABC|x");
  EXPECT_FALSE(m.AddToHistory("abc"));
  EXPECT_EQ(m.Items(), Items({"abc", "x"}));
  EXPECT_EQ(m.GetCurSel(), 0);
  EXPECT_TRUE(m.AddToHistory("new"));
  EXPECT_EQ(m.Items(), Items({"new", "abc", "x"}));
  EXPECT_FALSE(m.AddToHistory(""));
  EXPECT_EQ(m.Count(), 3);
}

TEST(HistoryModelTest, MaximumCutsFromTheEnd) {
  CHistoryModel m;
  EXPECT_EQ(m.GetMaxHistoryCount(), 6u);
  m.SetMaxHistoryCount(20);
  for (int i = 0; i < 20; ++i) m.AddToHistory("item" + std::to_string(i));
  EXPECT_TRUE(m.AddToHistory("newest"));
  ASSERT_EQ(m.Count(), 20);
  EXPECT_EQ(m.Items().front(), "newest");
  EXPECT_EQ(m.Items().back(), "item1");  // item0, the oldest, is gone

  m.SetHistoryString("a|b|c|d|e");
  m.SetCurSel(4);
  m.SetMaxHistoryCount(2);
  EXPECT_EQ(m.Items(), Items({"a", "b"}));
  EXPECT_EQ(m.GetCurSel(), -1);  // the selected item went with the cut

  m.SetMaxHistoryCount(0);
  EXPECT_EQ(m.Count(), 0);
  m.AddToHistory("gone");
  EXPECT_EQ(m.Count(), 0);
  EXPECT_EQ(m.GetCurSel(), -1);
  m.SetHistoryString("a|b");
  EXPECT_EQ(m.Count(), 0);
}

TEST(HistoryModelTest, SetHistoryStringDoesNotCut) {
  CHistoryModel m;
  m.SetMaxHistoryCount(2);
  m.SetHistoryString("a|b|c");
  EXPECT_EQ(m.Count(), 3);
  m.AddToHistory("d");
  EXPECT_EQ(m.Items(), Items({"d", "a"}));
}

TEST(HistoryModelTest, JoinAndSplitRoundTrip) {
  CHistoryModel m;
  m.SetHistoryString("||a||b|c|||");
  EXPECT_EQ(m.Items(), Items({"a", "b", "c"}));
  EXPECT_EQ(m.GetHistoryString(), "a|b|c");
  // An item holding '|' comes back as several.
  m.SetHistoryString("");
  m.AddToHistory("d");
  m.AddToHistory("b|c");
  m.AddToHistory("a");
  EXPECT_EQ(m.GetHistoryString(), "a|b|c|d");
  CHistoryModel back;
  back.SetHistoryString(m.GetHistoryString());
  EXPECT_EQ(back.Count(), 4);
  EXPECT_EQ(CHistoryModel().GetHistoryString(), "");
}

TEST(HistoryModelTest, RemoveSelectsNeighbour) {
  CHistoryModel m;
  m.SetHistoryString("a|b|c");
  EXPECT_FALSE(m.RemoveItem(-1));  // nothing selected
  EXPECT_FALSE(m.RemoveItem(3));
  m.SetCurSel(1);
  EXPECT_TRUE(m.RemoveItem(-1));
  EXPECT_EQ(m.Items(), Items({"a", "c"}));
  EXPECT_EQ(m.GetCurSel(), 1);
  EXPECT_TRUE(m.RemoveItem(1));  // the last: the previous one is selected
  EXPECT_EQ(m.GetCurSel(), 0);
  EXPECT_TRUE(m.RemoveItem(0));
  EXPECT_EQ(m.GetCurSel(), -1);
  EXPECT_FALSE(m.RemoveItem(0));
}

TEST(HistoryModelTest, PrefixSearchIgnoresCase) {
  CHistoryModel m;
  m.SetHistoryString("Abcdef|abx|zz");
  EXPECT_EQ(m.FindPrefix("ab"), 0);
  EXPECT_EQ(m.FindPrefix("ABX"), 1);
  EXPECT_EQ(m.FindPrefix("abxy"), -1);
  EXPECT_EQ(m.FindExact("ZZ"), 2);
  EXPECT_EQ(m.FindExact("z"), -1);
  // Beyond ASCII too, sharp s as "ss".
  m.SetHistoryString("café|straße|Łódź");
  EXPECT_EQ(m.FindExact("CAFÉ"), 0);
  EXPECT_EQ(m.FindPrefix("STRASS"), 1);
  EXPECT_EQ(m.FindExact("STRASSE"), 1);
  EXPECT_EQ(m.FindPrefix("łÓ"), 2);
  EXPECT_FALSE(m.AddToHistory("ŁÓDŹ"));
  EXPECT_EQ(m.GetHistoryString(), "ŁÓDŹ|café|straße");

  // Bytes that only look like a character (overlong "A", a surrogate) match nothing but themselves.
  m.SetHistoryString("a|\xC1\x81|\xED\xA0\x80");
  EXPECT_EQ(m.FindExact("\xC1\x81"), 1);
  EXPECT_EQ(m.FindExact("\xED\xB0\x80"), -1);
  EXPECT_TRUE(m.AddToHistory("\xE0\x81\x81"));
}

TEST(ToolbarPlacementTest, EveryPositionCode) {
  const ToolbarPlacement::Rect r{100, 50, 300, 71};  // 200 x 21
  const int cx = 35, cy = 28;
  struct Case {
    int position, x, y, outsideX, outsideY;
  };
  const Case cases[] = {
      {2, 94, 25, 94, 22},   {3, 182, 25, 182, 22},  {4, 271, 25, 271, 22},  {5, 94, 68, 94, 71},
      {6, 182, 68, 182, 71}, {7, 271, 68, 271, 71},  {8, 71, 47, 65, 47},    {9, 71, 47, 65, 47},
      {10, 71, 46, 65, 46},  {11, 294, 47, 300, 47}, {12, 294, 47, 300, 47}, {13, 294, 46, 300, 46},
  };
  for (const Case& c : cases) {
    int x = 0, y = 0;
    ASSERT_TRUE(ToolbarPlacement::Origin(c.position, false, r, cx, cy, x, y)) << c.position;
    EXPECT_EQ(x, c.x) << c.position;
    EXPECT_EQ(y, c.y) << c.position;
    ASSERT_TRUE(ToolbarPlacement::Origin(c.position, true, r, cx, cy, x, y));
    EXPECT_EQ(x, c.outsideX) << c.position << " outside";
    EXPECT_EQ(y, c.outsideY) << c.position << " outside";
  }
  int x = 0, y = 0;
  EXPECT_FALSE(ToolbarPlacement::Origin(1, false, r, cx, cy, x, y));
  EXPECT_FALSE(ToolbarPlacement::Origin(14, false, r, cx, cy, x, y));
  // Halving rounds toward zero, also for a toolbar taller than the combo.
  ToolbarPlacement::Origin(12, false, {0, 0, 10, 3}, 5, 8, x, y);
  EXPECT_EQ(y, -2);
}
