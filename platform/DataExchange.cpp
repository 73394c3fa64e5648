#include "platform/DataExchange.h"

#include "platform/AsciiText.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

bool ScanWholeNumber(const std::string& text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  // Past the blanks the number itself begins: no other white space.
  size_t used = 0;
  const int64_t number = i < text.size() && (text[i] < '\n' || text[i] > '\r')
                             ? LeadingNumber(std::string_view(text).substr(i), {}, &used)
                             : 0;
  if (used == 0) return false;
  i += used;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size() || number > INT32_MAX || number < INT32_MIN) return false;
  value = static_cast<int32_t>(number);
  return true;
}
