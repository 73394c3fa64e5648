// Any bytes a server may send: the log's escape reads back to them exactly, uses the backslash
// only to begin "\\" or "\xNN", and neither it nor the text shown on screen holds a hidden
// character (a control, a direction control, a line or paragraph separator, a zero-width one);
// the shown text is valid UTF-8.
//
// Input: the server's text.
#include <locale.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/ServerText.h"

namespace {

// Listed here, not taken from the code under test.
bool Hidden(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x61C || c == 0x200B || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || c == 0x2060 || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// Through the C library's own UTF-8 reader: false when text holds a hidden character, or, with
// wholeUtf8, a byte that is no whole character.
bool NothingHidden(const std::string& text, bool wholeUtf8) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  const locale_t previous = uselocale(utf8);
  bool ok = true;
  std::mbstate_t state{};
  for (size_t i = 0; ok && i < text.size();) {
    wchar_t c = 0;
    const size_t n = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
    if (n == 0) {
      ok = false;  // a NUL
    } else if (n > text.size() - i || static_cast<char32_t>(c) > 0x10FFFF) {
      state = {};
      ok = !wholeUtf8;
      ++i;
    } else {
      ok = !Hidden(static_cast<char32_t>(c));
      i += n;
    }
  }
  uselocale(previous);
  return ok;
}

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::string escaped = EscapedServerText(text);
  FUZZ_CHECK(UnescapeServerText(escaped) == text);
  FUZZ_CHECK(NothingHidden(escaped, false));
  for (size_t i = escaped.find('\\'); i != std::string::npos; i = escaped.find('\\', i)) {
    const bool pair = i + 1 < escaped.size() && escaped[i + 1] == '\\';
    FUZZ_CHECK(pair || (i + 3 < escaped.size() && escaped[i + 1] == 'x' && IsLowerHex(escaped[i + 2]) &&
                        IsLowerHex(escaped[i + 3])));
    i += pair ? 2 : 4;
  }

  FUZZ_CHECK(NothingHidden(ShownServerText(text), true));
  return 0;
}
