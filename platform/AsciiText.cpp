#include "platform/AsciiText.h"

#include <limits>

int64_t LeadingNumber(std::string_view text, std::string_view rest, size_t* used) {
  const size_t n = text.size() + rest.size();
  auto at = [&](size_t i) { return i < text.size() ? text[i] : rest[i - text.size()]; };
  size_t i = 0;
  while (i < n && (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (at(i) == '+' || at(i) == '-')) negative = at(i++) == '-';
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const size_t firstDigit = i;
  int64_t value = 0;
  for (; i < n && at(i) >= '0' && at(i) <= '9'; ++i) {
    const int digit = at(i) - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  if (used) *used = i == firstDigit ? 0 : i;
  return negative ? -value : value;
}
