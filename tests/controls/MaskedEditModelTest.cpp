#include <gtest/gtest.h>

#include "controls/MaskedEditModel.h"

namespace {

CMaskedEditModel DateModel(const char* input = nullptr, LocaleSeparators seps = {}) {
  CMaskedEditModel m("##/##/####", seps);
  m.SetPromptChar('_');
  if (input) m.SetInputText(input, 0, true);
  return m;
}

// Types each character at the caret, moving the caret as the control does.
int Type(CMaskedEditModel& m, int caret, const std::string& chars) {
  for (char ch : chars) caret = m.TypeChar(caret, caret, ch).caret;
  return caret;
}

}  // namespace

TEST(MaskedEditModelTest, ParsesEveryElementType) {
  CMaskedEditModel m("#A?><&.,:/\\#x\\\\", LocaleSeparators{'d', 't', 'h', 's'});
  const int expected[] = {CMaskData::Digit,
                          CMaskData::AlphaNumeric,
                          CMaskData::Alphabetic,
                          CMaskData::AlphabeticUpper,
                          CMaskData::AlphabeticLower,
                          CMaskData::AnyCharacter,
                          CMaskData::DecimalSeparator,
                          CMaskData::ThousandsSeparator,
                          CMaskData::TimeSeparator,
                          CMaskData::DateSeparator,
                          CMaskData::EscapedLiteral,
                          CMaskData::Literal,
                          CMaskData::EscapedLiteral};
  ASSERT_EQ(m.Length(), 13);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(m.Elements()[i].m_nType, expected[i]) << i;
  EXPECT_EQ(m.GetDisplayText(), "      dths#x\\");
  EXPECT_EQ(m.GetInputText(), "      ");
  // A lone backslash at the end stops the parse with a literal backslash.
  EXPECT_EQ(CMaskedEditModel("#\\").GetDisplayText(), " \\");
  EXPECT_TRUE(CMaskedEditModel(nullptr).IsMaskEmpty());
  EXPECT_EQ(CMaskData().m_nType, CMaskData::Literal);
}

TEST(MaskedEditModelTest, AcceptanceAndCaseConversion) {
  CMaskedEditModel m("#A?><&");
  EXPECT_TRUE(
      m.SetInputText("1a"
                     "b"
                     "c"
                     "D"
                     "\xe9"));
  EXPECT_EQ(m.GetInputText(), "1abCd\xe9");
  // 'é' (0xE9) is neither letter nor digit; DEL is taken by nothing.
  EXPECT_FALSE(CMaskedEditModel("?").SetInputText("\xe9"));
  EXPECT_FALSE(CMaskedEditModel("&").SetInputText("\x7f"));
  CMaskedEditModel upper(">>");
  Type(upper, 0, "ab");
  EXPECT_EQ(upper.GetDisplayText(), "AB");
  CMaskedEditModel lower("<<");
  Type(lower, 0, "AB");
  EXPECT_EQ(lower.GetDisplayText(), "ab");
}

TEST(MaskedEditModelTest, PromptChange) {
  CMaskedEditModel m = DateModel("1");
  EXPECT_EQ(m.GetDisplayText(), "1_/__/____");
  for (char bad : {'\0', '\r', '\n', '\x7f'}) EXPECT_FALSE(m.SetPromptChar(bad));
  EXPECT_EQ(m.GetDisplayText(), "1_/__/____");
  EXPECT_TRUE(m.SetPromptChar('*'));
  EXPECT_EQ(m.GetDisplayText(), "1*/**/****");
  EXPECT_EQ(m.GetInputText(), "1*******");
}

TEST(MaskedEditModelTest, SetInputTextDistributesAndReportsDrops) {
  CMaskedEditModel m = DateModel();
  EXPECT_FALSE(m.SetInputText("12/31/1998", 0, true));
  EXPECT_EQ(m.GetDisplayText(), "12/31/1998");
  EXPECT_TRUE(m.SetInputText("9", 2, true));  // keeps the first two inputs
  EXPECT_EQ(m.GetDisplayText(), "12/9_/____");
  EXPECT_TRUE(m.SetInputText("1_3", 0, true));  // a prompt empties its position
  EXPECT_EQ(m.GetDisplayText(), "1_/3_/____");
  EXPECT_TRUE(m.SetInputText("1_3", 0, false));  // or is left out
  EXPECT_EQ(m.GetDisplayText(), "13/__/____");
  EXPECT_TRUE(m.SetInputText("123456789", 0, true));  // extra data is ignored
  EXPECT_EQ(m.GetDisplayText(), "12/34/5678");
  EXPECT_TRUE(m.SetInputText("5", 100, true));
  EXPECT_EQ(m.GetDisplayText(), "12/34/5678");
}

TEST(MaskedEditModelTest, PositionOperations) {
  CMaskedEditModel m("ab#-#c");
  EXPECT_FALSE(m.IsInputPosition(-1));
  EXPECT_TRUE(m.IsInputPosition(2));
  EXPECT_FALSE(m.IsInputPosition(6));
  EXPECT_EQ(m.NextInputPosition(-5), 2);
  EXPECT_EQ(m.NextInputPosition(3), 4);
  EXPECT_EQ(m.NextInputPosition(5), 6);  // none after: the text length
  EXPECT_EQ(m.NextInputPosition(9), 9);
  EXPECT_EQ(m.PreviousInputStop(3), 3);  // just after the input at 2
  EXPECT_EQ(m.PreviousInputStop(5), 5);
  EXPECT_EQ(m.PreviousInputStop(1), 2);  // nothing before: the next one
  EXPECT_EQ(m.PreviousInputStop(4), 4);
  m.SetInputText("1");
  EXPECT_EQ(m.FirstEmptyInputPosition(0), 4);
  m.SetInputText("12");
  EXPECT_EQ(m.FirstEmptyInputPosition(0), 6);
}

TEST(MaskedEditModelTest, TypingInBothModes) {
  for (bool insert : {true, false}) {
    CMaskedEditModel m = DateModel();
    m.SetInsertMode(insert);
    EXPECT_EQ(Type(m, 0, "12311998"), 10);
    EXPECT_EQ(m.GetDisplayText(), "12/31/1998");
  }
  CMaskedEditModel ins = DateModel("12311998");
  EXPECT_EQ(ins.TypeChar(0, 0, '5').caret, 1);
  EXPECT_EQ(ins.GetDisplayText(), "51/23/1199");
  CMaskedEditModel over = DateModel("12311998");
  over.SetInsertMode(false);
  auto r = over.TypeChar(0, 0, '5');
  EXPECT_FALSE(r.rejected);
  EXPECT_EQ(r.caret, 1);
  EXPECT_EQ(over.GetDisplayText(), "52/31/1998");
}

TEST(MaskedEditModelTest, RefusalsChangeNothing) {
  CMaskedEditModel m = DateModel("12311998");
  auto letter = m.TypeChar(0, 0, 'x');
  EXPECT_TRUE(letter.rejected);
  EXPECT_EQ(letter.caret, 0);
  auto atSeparator = m.TypeChar(2, 2, '4');
  EXPECT_TRUE(atSeparator.rejected);
  EXPECT_EQ(atSeparator.caret, 3);
  EXPECT_EQ(m.GetDisplayText(), "12/31/1998");
  // An insertion that would push a letter into a digit position is refused whole.
  CMaskedEditModel mixed("#?");
  mixed.SetInputText("1a");
  EXPECT_EQ(mixed.InsertChar(0, '2'), -1);
  EXPECT_EQ(mixed.GetDisplayText(), "1a");
  EXPECT_EQ(mixed.InsertChar(5, '2'), -1);  // no input position at or after 5
  EXPECT_EQ(mixed.ReplaceChar(1, '2'), -1);
  EXPECT_EQ(mixed.ReplaceChar(7, '2'), 7);
  // A selection replaced by a refused character keeps the selected text.
  auto selected = m.TypeChar(0, 10, 'x');
  EXPECT_TRUE(selected.rejected);
  EXPECT_EQ(m.GetDisplayText(), "12/31/1998");
  // A selection of literals only.
  EXPECT_TRUE(m.TypeChar(2, 3, '4').rejected);
  EXPECT_EQ(m.GetDisplayText(), "12/31/1998");
}

TEST(MaskedEditModelTest, SelectionReplacedByTypedCharacter) {
  CMaskedEditModel m = DateModel("12311998");
  auto r = m.TypeChar(0, 10, '7');
  EXPECT_EQ(m.GetDisplayText(), "7_/__/____");
  EXPECT_EQ(r.caret, 1);
  CMaskedEditModel over = DateModel("12311998");
  over.SetInsertMode(false);
  over.TypeChar(3, 5, '0');  // the "31" of the day
  EXPECT_EQ(over.GetDisplayText(), "12/01/998_");
}

TEST(MaskedEditModelTest, DeleteAndBackspace) {
  CMaskedEditModel m = DateModel("12311998");
  auto del = m.DeleteKey(0, 0);
  EXPECT_FALSE(del.rejected);
  EXPECT_EQ(del.caret, 0);
  EXPECT_EQ(m.GetDisplayText(), "23/11/998_");

  CMaskedEditModel b = DateModel("12311998");
  auto afterLiteral = b.Backspace(3, 3);
  EXPECT_TRUE(afterLiteral.rejected);
  EXPECT_EQ(afterLiteral.caret, 3);
  EXPECT_EQ(b.GetDisplayText(), "12/31/1998");
  EXPECT_FALSE(b.Backspace(2, 2).rejected);
  EXPECT_EQ(b.GetDisplayText(), "13/11/998_");
  auto atStart = b.Backspace(0, 0);
  EXPECT_TRUE(atStart.rejected);
  EXPECT_EQ(atStart.caret, 0);
  EXPECT_TRUE(b.DeleteKey(10, 10).rejected);  // at the end
  EXPECT_TRUE(b.DeleteKey(2, 3).rejected);    // a literal only
  EXPECT_EQ(b.DeleteRange(0, 10), 8);
  EXPECT_EQ(b.GetDisplayText(), "__/__/____");
}

TEST(MaskedEditModelTest, PasteAndCut) {
  CMaskedEditModel m = DateModel();
  auto r = m.Paste(0,
                   "12/31/1998"
                   "__/__/____");
  EXPECT_EQ(m.GetDisplayText(), "12/31/1998");
  EXPECT_EQ(r.caret, 10);
  CMaskedEditModel e = DateModel();
  EXPECT_EQ(e.Paste(0, "x__/__/____").caret, 0);
  EXPECT_EQ(e.GetDisplayText(), "__/__/____");
  CMaskedEditModel c = DateModel("12311998");
  auto cut = c.Cut(2, 5);  // "/31": the day goes, the year moves up
  EXPECT_EQ(c.GetDisplayText(), "12/19/98__");
  EXPECT_EQ(cut.caret, 3);
}

TEST(MaskedEditModelTest, EscapedMaskTakesOnlyAlphanumerics) {
  CMaskedEditModel m("\\#A");
  EXPECT_EQ(m.GetDisplayText(), "# ");
  EXPECT_TRUE(m.TypeChar(0, 0, 'z').rejected);
  EXPECT_TRUE(m.TypeChar(1, 1, '-').rejected);
  EXPECT_FALSE(m.TypeChar(1, 1, 'z').rejected);
  EXPECT_EQ(m.GetDisplayText(), "#z");
}
