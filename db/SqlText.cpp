#include "db/SqlText.h"

#include <algorithm>
#include <cstdint>

#include "platform/Utf8.h"

std::string EscapeSqlLiteral(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    // A NUL would end the statement where the client library measures it.
    if (c == '\0') {
      out += "\\0";
      continue;
    }
    if (c == '\'' || c == '\\') out += c;
    out += c;
  }
  return out;
}

namespace {

// The server's latin1 is the Windows code page 1252, its five unused bytes kept as C1 controls.
bool Latin1Holds(long cp) {
  static constexpr long kHigh[] = {0x0081, 0x008d, 0x008f, 0x0090, 0x009d, 0x0152, 0x0153, 0x0160,
                                   0x0161, 0x0178, 0x017d, 0x017e, 0x0192, 0x02c6, 0x02dc, 0x2013,
                                   0x2014, 0x2018, 0x2019, 0x201a, 0x201c, 0x201d, 0x201e, 0x2020,
                                   0x2021, 0x2022, 0x2026, 0x2030, 0x2039, 0x203a, 0x20ac, 0x2122};
  if (cp < 0x80 || (cp >= 0xa0 && cp <= 0xff)) return true;
  return std::binary_search(std::begin(kHigh), std::end(kHigh), cp);
}

}  // namespace

bool CharsetCanHold(const std::string& charset, const std::string& text) {
  long most = 0;  // the highest code point the set holds; 0: latin1's own table
  if (charset == "utf8mb4") {
    most = 0x10ffff;
  } else if (charset == "utf8mb3" || charset == "utf8") {
    most = 0xffff;
  } else if (charset == "ascii") {
    most = 0x7f;
  } else if (charset != "latin1") {
    return true;
  }
  for (size_t at = 0; at < text.size();) {
    char32_t cp = 0;
    const size_t length = Utf8SequenceAt(text, at, cp);
    if (!length || (most ? cp > char32_t(most) : !Latin1Holds(cp))) return false;
    at += length;
  }
  return true;
}
