#include "controls/MaskData.h"

namespace {
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
}  // namespace

bool CMaskData::Accepts(char ch) const {
  unsigned char c = static_cast<unsigned char>(ch);
  switch (m_nType) {
    case Digit:
      return IsDigit(c);
    case AlphaNumeric:
      return IsDigit(c) || IsLetter(c);
    case Alphabetic:
    case AlphabeticUpper:
    case AlphabeticLower:
      return IsLetter(c);
    case AnyCharacter:
      return (c >= 0x20 && c <= 0x7E) || c >= 0x80;
    default:
      return false;
  }
}

char CMaskData::Convert(char ch) const {
  if (m_nType == AlphabeticUpper && ch >= 'a' && ch <= 'z') return static_cast<char>(ch - 'a' + 'A');
  if (m_nType == AlphabeticLower && ch >= 'A' && ch <= 'Z') return static_cast<char>(ch - 'A' + 'a');
  return ch;
}
