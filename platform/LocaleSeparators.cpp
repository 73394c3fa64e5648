#include "platform/LocaleSeparators.h"

#include <langinfo.h>
#include <locale.h>

namespace {

// First punctuation character of a strftime format outside its % conversions.
bool FormatSeparator(const char* format, char& out) {
  if (!format) return false;
  for (const char* p = format; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '%') {
      ++p;
      while (*p == '_' || *p == '-' || *p == '0' || *p == '^' || *p == '#') ++p;
      while (*p >= '0' && *p <= '9') ++p;
      if (*p == 'E' || *p == 'O') ++p;
      if (!*p) return false;
      continue;
    }
    // Only ASCII punctuation: a byte of a multi-byte character is never a separator.
    if (c < 0x80 && c > 0x20 && c != 0x7F &&
        !((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))) {
      out = static_cast<char>(c);
      return true;
    }
  }
  return false;
}

// First character of a UTF-8 text as one byte: ASCII and U+0080..U+00FF only (the control keeps
// single-byte characters); anything else, or nothing, keeps the default.
bool FirstCharacter(const char* text, char& out) {
  if (!text || !*text) return false;
  unsigned char c0 = static_cast<unsigned char>(text[0]);
  if (c0 < 0x80) {
    out = static_cast<char>(c0);
    return true;
  }
  unsigned char c1 = static_cast<unsigned char>(text[1]);
  if ((c0 == 0xC2 || c0 == 0xC3) && (c1 & 0xC0) == 0x80) {
    out = static_cast<char>(((c0 & 0x1F) << 6) | (c1 & 0x3F));
    return true;
  }
  return false;
}

}  // namespace

LocaleSeparators LocaleSeparators::FromLocaleData(const char* dateFormat, const char* timeFormat,
                                                  const char* decimalPoint, const char* thousandsSep) {
  LocaleSeparators s;
  FirstCharacter(decimalPoint, s.decimal);
  FirstCharacter(thousandsSep, s.thousands);
  FormatSeparator(timeFormat, s.time);
  FormatSeparator(dateFormat, s.date);
  return s;
}

LocaleSeparators LocaleSeparators::FromLocale(const std::string& name) {
  locale_t loc = newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return LocaleSeparators();
  // localeconv() and nl_langinfo() answer for the thread's locale, so switch only this thread.
  locale_t previous = uselocale(loc);
  std::string dateFormat = nl_langinfo(D_FMT);
  std::string timeFormat = nl_langinfo(T_FMT);
  const lconv* conv = localeconv();
  std::string decimal = conv && conv->decimal_point ? conv->decimal_point : "";
  std::string thousands = conv && conv->thousands_sep ? conv->thousands_sep : "";
  uselocale(previous);
  freelocale(loc);
  return FromLocaleData(dateFormat.c_str(), timeFormat.c_str(), decimal.c_str(), thousands.c_str());
}

LocaleSeparators LocaleSeparators::FromUserLocale() {
  return FromLocale("");
}
