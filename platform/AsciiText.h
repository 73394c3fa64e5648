#pragma once
// Text read as the C library reads it in its "C" locale, whatever locale the program runs in:
// the leading number of atoi and the letter case of tolower.
#include <cstddef>
#include <cstdint>
#include <string_view>

// The decimal number text starts with: white space skipped, one sign, digits up to the first
// other character; 0 without digits. A number past the range stays at its end instead of
// overflowing. rest, when given, is read as text's continuation. used (optional) receives how many
// characters the number took, white space included, or 0 when it has no digit.
int64_t LeadingNumber(std::string_view text, std::string_view rest = {}, size_t* used = nullptr);

// A-Z as a-z; every other byte as it is.
inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
