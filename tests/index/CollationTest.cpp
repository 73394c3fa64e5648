// What the oracle against the server cannot reach: the table's own file, texts that are not
// UTF-8, weights wider than any the server gives, and the prefilter's contract at its edges.
#include <gtest/gtest.h>

#include <random>

#include "index/Collation.h"
#include "index/MaskProgram.h"

namespace {

// Letters fold to their upper case; 'w' and 'W' weigh more than any server weight does, so their
// folded units are five and six bytes long; U+00E9 and beyond are not held.
Collation Synthetic(Collation::Beyond beyond = Collation::Beyond::NotHeld) {
  std::vector<uint32_t> weights(0xE9, Collation::kNotHeld);
  for (uint32_t c = 0; c < 0xE9; ++c) weights[c] = c >= 'a' && c <= 'z' ? c - 32 : c;
  weights['w'] = weights['W'] = 0x3FFFFFF;
  weights['v'] = weights['V'] = 0x7FFFFFFF;
  return Collation("test_ci", std::move(weights), beyond, 0x1234);
}

TEST(Collation, SerializedTableReadsBackAndNothingElseDoes) {
  std::mt19937 random(7);
  std::vector<uint32_t> weights(0x10000);
  for (uint32_t c = 0; c < weights.size(); ++c)
    weights[c] = c % 5000 < 40 ? random() % 0x7FFFFFFF : c % 9000 < 100 ? Collation::kNotHeld : c + 7;
  for (auto beyond :
       {Collation::Beyond::NotHeld, Collation::Beyond::CodePoint, Collation::Beyond::Constant}) {
    const Collation collation("utf8mb4_general_ci", weights, beyond, 0xFFFD);
    const std::string bytes = collation.Serialize();
    EXPECT_LT(bytes.size(), 8000u);  // some 500 odd weights, the rest in runs
    const auto back = Collation::Deserialize(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, collation);
    EXPECT_EQ(back->Weight(0x1F600), collation.Weight(0x1F600));
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 8)
      EXPECT_FALSE(Collation::Deserialize(bytes.substr(0, cut))) << cut;
    EXPECT_FALSE(Collation::Deserialize(bytes + '\0'));
  }
}

TEST(Collation, FoldRefusesWhatIsNotUtf8OrNotHeld) {
  const Collation collation = Synthetic();
  std::string folded;
  for (const char* bad : {"\x80", "a\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xFF", "\xC3\xA9" /* U+00E9, past the table */})
    EXPECT_FALSE(collation.Fold(bad, folded)) << bad;
  ASSERT_TRUE(collation.Fold(std::string("a\0b", 3), folded));
  EXPECT_EQ(folded, std::string("A\0B", 3));
  ASSERT_TRUE(collation.Fold("wv", folded));
  EXPECT_EQ(folded, "\xFB\xBF\xBF\xBF\xBF\xFD\xBF\xBF\xBF\xBF\xBF");
  EXPECT_EQ(Synthetic(Collation::Beyond::CodePoint).Weight(0x1F600), 0x1F600u);
  EXPECT_EQ(Synthetic(Collation::Beyond::Constant).Weight(0x1F600), 0x1234u);
  EXPECT_EQ(Synthetic(Collation::Beyond::Constant).Weight(0xD800), Collation::kNotHeld);
}

// `_` takes one character however many bytes its weight folds to, from either end.
TEST(MaskProgram, WildcardsStepOverWideUnits) {
  const Collation collation = Synthetic();
  std::string dir, date;
  ASSERT_TRUE(collation.Fold("xWvWy", dir));
  ASSERT_TRUE(collation.Fold("wv", date));
  const auto matches = [&](const std::string& mask) {
    const auto program = MaskProgram::Compile(mask, collation);
    return program && program->Matches(dir, date);
  };
  EXPECT_TRUE(matches("x___y"));
  EXPECT_FALSE(matches("x____y"));
  EXPECT_FALSE(matches("x__y"));
  EXPECT_TRUE(matches("w_w"));
  EXPECT_TRUE(matches("_v_"));
  EXPECT_TRUE(matches("__"));  // the date string, whole
  EXPECT_FALSE(matches("x_y"));
  EXPECT_TRUE(matches("V_Y"));
}

TEST(MaskProgram, RefusesWhatTheStatementCannotCarry) {
  const Collation collation = Synthetic();
  std::string why;
  EXPECT_FALSE(MaskProgram::Compile(std::string("a\0b", 3), collation, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(MaskProgram::Compile(std::string(65, '(') + "a" + std::string(65, ')'), collation));
  EXPECT_TRUE(MaskProgram::Compile(std::string(64, '(') + "a" + std::string(64, ')'), collation));
}

TEST(MaskProgram, PrefilterTextsAndItsGivingUp) {
  const Collation collation = Synthetic();
  const auto required = [&](const std::string& mask) {
    return MaskProgram::Compile(mask, collation)->RequiredTexts();
  };
  using Lists = std::vector<std::vector<std::string>>;
  EXPECT_EQ(required("ab_c*d | x"), (Lists{{"AB", "C", "D"}, {"X"}}));
  EXPECT_EQ(required("(a|b)(c|d)"), (Lists{{"A", "C"}, {"A", "D"}, {"B", "C"}, {"B", "D"}}));
  EXPECT_EQ(required("é"), Lists{});  // a letter not held: nothing matches
  EXPECT_EQ(required("a | __"), std::nullopt);
  EXPECT_EQ(required("(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)"), std::nullopt);  // too many ways
  std::string date;
  ASSERT_TRUE(collation.Fold("010198", date));
  EXPECT_TRUE(MaskProgram::Compile("x & 01_198", collation)->MayMatchByDate(date));
  EXPECT_FALSE(MaskProgram::Compile("x & 0101", collation)->MayMatchByDate(date));
}

}  // namespace
