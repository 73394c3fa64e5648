#include "platform/ServerText.h"

#include "platform/Utf8.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";  // as code points are written
constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Calls each(piece, cp) for every piece of bytes: a UTF-8 sequence with its code point, or a
// single byte that starts none, with cp 0xFFFFFFFF.
template <typename Each>
void ForEachSequence(std::string_view bytes, Each each) {
  for (size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const size_t length = Utf8SequenceAt(bytes, i, cp);
    each(bytes.substr(i, length ? length : 1), length ? cp : kNotUtf8);
    i += length ? length : 1;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsHiddenCharacter(char32_t cp) {
  if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return true;
  if (cp < 0x61C) return false;
  return cp == 0x61C || cp == 0x200B || cp == 0x200E || cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) ||
         cp == 0x2060 || (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF;
}

std::string ShownServerText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  ForEachSequence(bytes, [&out](std::string_view piece, char32_t cp) {
    if (cp == kNotUtf8) {
      AppendUtf8(out, 0xFFFD);
    } else if (cp < 0x20) {
      AppendUtf8(out, 0x2400 + cp);
    } else if (cp == 0x7F) {
      AppendUtf8(out, 0x2421);
    } else if (IsHiddenCharacter(cp)) {
      out += "<U+";
      for (int shift = 12; shift >= 0; shift -= 4) out += kUpperHex[(cp >> shift) & 15];
      out += '>';
    } else {
      out += piece;
    }
  });
  return out;
}

std::string EscapedServerText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  ForEachSequence(bytes, [&out](std::string_view piece, char32_t cp) {
    if (cp != kNotUtf8 && IsHiddenCharacter(cp)) {
      for (char byte : piece) {
        const auto c = static_cast<unsigned char>(byte);
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
    } else if (cp == '\\') {
      out += "\\\\";
    } else {
      // Bytes that are not UTF-8 go as they are, one at a time.
      out += piece;
    }
  });
  return out;
}

std::string UnescapeServerText(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\' || i + 1 == escaped.size()) {
      out += escaped[i];
    } else if (escaped[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (escaped[i + 1] == 'x' && i + 3 < escaped.size() && HexValue(escaped[i + 2]) >= 0 &&
               HexValue(escaped[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(escaped[i + 2]) * 16 + HexValue(escaped[i + 3]));
      i += 3;
    } else {
      out += escaped[i];
    }
  }
  return out;
}
