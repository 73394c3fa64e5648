#pragma once
// The four separators a masked edit shows, read from the C library's locale data.
#include <string>

struct LocaleSeparators {
  char decimal = '.';
  char thousands = ',';
  char time = ':';
  char date = '/';

  // The user's locale (the environment's LC_NUMERIC and LC_TIME), or the named one. The process
  // locale is left alone. A missing locale or an empty answer keeps the default separator.
  static LocaleSeparators FromUserLocale();
  static LocaleSeparators FromLocale(const std::string& name);

  // The rules on raw locale answers; any argument may be null.
  static LocaleSeparators FromLocaleData(const char* dateFormat, const char* timeFormat,
                                         const char* decimalPoint, const char* thousandsSep);
};
