#include "db/SqlText.h"

std::string EscapeSqlLiteral(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\'' || c == '\\') out += c;
    out += c;
  }
  return out;
}
