#include "db/SqlText.h"

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
