#include <gtest/gtest.h>
#include <locale.h>

#include "controls/MaskedEditModel.h"
#include "platform/LocaleSeparators.h"

TEST(LocaleSeparatorsTest, RulesOnLocaleAnswers) {
  LocaleSeparators s = LocaleSeparators::FromLocaleData("%d.%m.%Y", "%H.%M.%S", ",", ".");
  EXPECT_EQ(s.date, '.');
  EXPECT_EQ(s.time, '.');
  EXPECT_EQ(s.decimal, ',');
  EXPECT_EQ(s.thousands, '.');
  // Conversions with flags, widths and E/O modifiers are skipped whole; "%%" is no separator.
  s = LocaleSeparators::FromLocaleData("%%%-d%Ey%010m-%d", "%OH", nullptr, "");
  EXPECT_EQ(s.date, '-');
  EXPECT_EQ(s.time, ':');
  EXPECT_EQ(s.decimal, '.');
  EXPECT_EQ(s.thousands, ',');
  // Spaces are no punctuation; a no-break space (U+00A0) fits in a byte, U+202F does not.
  s = LocaleSeparators::FromLocaleData("%Y %m %d", "%H%M", "\xc2\xa0", "\xe2\x80\xaf");
  EXPECT_EQ(s.date, '/');
  EXPECT_EQ(s.time, ':');
  EXPECT_EQ(s.decimal, '\xa0');
  EXPECT_EQ(s.thousands, ',');
}

TEST(LocaleSeparatorsTest, InstalledLocales) {
  struct Case {
    const char* name;
    char decimal, thousands, time, date;
  };
  const Case cases[] = {
      {"C", '.', ',', ':', '/'},  // C: no thousands separator, so the default stays
      {"en_US.UTF-8", '.', ',', ':', '/'}, {"de_DE.UTF-8", ',', '.', ':', '.'},
      {"fi_FI.UTF-8", ',', ',', '.', '.'},  // thousands is U+202F, wider than a byte: default
      {"nl_NL.UTF-8", ',', '.', ':', '-'},
  };
  for (const Case& c : cases) {
    locale_t installed = newlocale(LC_ALL_MASK, c.name, static_cast<locale_t>(0));
    if (installed == static_cast<locale_t>(0)) {
      ADD_FAILURE() << c.name << " is not installed (apt-get install locales-all)";
      continue;
    }
    freelocale(installed);
    LocaleSeparators s = LocaleSeparators::FromLocale(c.name);
    EXPECT_EQ(s.decimal, c.decimal) << c.name;
    EXPECT_EQ(s.time, c.time) << c.name;
    EXPECT_EQ(s.date, c.date) << c.name;
  }
  // A locale that does not exist keeps every default.
  LocaleSeparators none = LocaleSeparators::FromLocale("xx_NOWHERE.UTF-8");
  EXPECT_EQ(none.date, '/');
  EXPECT_EQ(none.decimal, '.');
}

TEST(LocaleSeparatorsTest, DateMaskShowsLocaleSeparator) {
  CMaskedEditModel m("##/##/####", LocaleSeparators::FromLocale("de_DE.UTF-8"));
  m.SetPromptChar('_');
  EXPECT_EQ(m.GetDisplayText(), "__.__.____");
  EXPECT_EQ(m.GetInputText(), "________");
}
