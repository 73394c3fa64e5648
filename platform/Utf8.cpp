#include "platform/Utf8.h"

size_t Utf8SequenceAt(std::string_view bytes, size_t i, char32_t& cp) {
  const unsigned char b = static_cast<unsigned char>(bytes[i]);
  if (b < 0x80) return cp = b, 1;
  size_t length;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, cp = b & 0x07;
  } else {
    return 0;  // a continuation byte, an overlong lead (C0, C1) or F5-FF
  }
  if (bytes.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000)) return 0;  // overlong
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}
