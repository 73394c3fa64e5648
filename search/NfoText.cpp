#include "search/NfoText.h"

#include <algorithm>

#include "platform/Utf8.h"

namespace {

// 0x00-0x1F and 0x80-0xFF; 0x20-0x7E are ASCII and 0x7F is the house.
constexpr char16_t kLow[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 00
    0x25D8, 0x0009, 0x000A, 0x2642, 0x2640, 0x000D, 0x266B, 0x263C,  // 08
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 10
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 18
};

constexpr char16_t kHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

char32_t ControlPicture(char32_t cp) {
  if (cp < 0x20) return 0x2400 + cp;
  if (cp == 0x7F) return 0x2421;
  return cp;
}

// Builds an NfoText from code points, one at a time.
class NfoTextBuilder {
 public:
  explicit NfoTextBuilder(size_t capacity) {
    m_text.characters.reserve(capacity);
    m_text.marks.push_back(0);
    m_text.lineCount = 1;
  }
  void Add(char32_t cp) {
    if (cp == '\r') {
      m_afterCr = true;
      return EndLine();
    }
    const bool lfOfCrLf = cp == '\n' && m_afterCr;
    m_afterCr = false;
    if (lfOfCrLf) return;
    if (cp == '\n') return EndLine();
    if (cp == '\t') {
      m_text.hasTabs = true;
      m_column += 8 - m_column % 8;
    } else {
      ++m_column;
    }
    if (cp < 0x10000) {
      m_text.characters += static_cast<char16_t>(cp);
    } else {
      m_text.characters += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      m_text.characters += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  NfoText Finish() {
    CloseLine();
    if (m_text.hasTabs) KeepColumns();
    return std::move(m_text);
  }

 private:
  void CloseLine() {
    m_text.widestLine = std::max(m_text.widestLine, m_column);
    const size_t end = m_text.characters.size();
    if (end - m_lineStart > NfoText::kLongLine)
      m_text.longLines.emplace_back(static_cast<uint32_t>(m_lineStart), static_cast<uint32_t>(end));
  }
  void KeepColumns() {
    const std::u16string& chars = m_text.characters;
    m_text.columnMarks.reserve(chars.size() / NfoText::kLongLine + 1);
    size_t column = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
      if (i % NfoText::kLongLine == 0) m_text.columnMarks.push_back(static_cast<uint32_t>(column));
      column = chars[i] == u'\n' ? 0 : NfoText::NextColumn(chars[i], column);
    }
  }
  void EndLine() {
    CloseLine();
    m_column = 0;
    m_text.characters += u'\n';
    m_lineStart = m_text.characters.size();
    if (m_text.lineCount++ % NfoText::kLinesPerMark == 0)
      m_text.marks.push_back(static_cast<uint32_t>(m_text.characters.size()));
  }

  NfoText m_text;
  size_t m_lineStart = 0;
  size_t m_column = 0;
  bool m_afterCr = false;
};

}  // namespace

std::pair<size_t, size_t> NfoText::WalkFromIndex(size_t start, size_t index) const {
  const size_t mark = index / kLongLine;
  if (mark < columnMarks.size() && mark * kLongLine >= start) return {mark * kLongLine, columnMarks[mark]};
  return {start, 0};
}

std::pair<size_t, size_t> NfoText::WalkFromColumn(size_t start, size_t column) const {
  const size_t end = LineEnd(start);
  if (end == start) return {start, 0};
  // The kept characters of this line, whose columns only grow along it.
  const size_t first = (start + kLongLine - 1) / kLongLine;
  const size_t last = std::min((end - 1) / kLongLine + 1, columnMarks.size());
  if (first >= last) return {start, 0};
  const auto begin = columnMarks.begin() + static_cast<std::ptrdiff_t>(first);
  const auto stop = columnMarks.begin() + static_cast<std::ptrdiff_t>(last);
  auto it = std::upper_bound(begin, stop, column, [](size_t c, uint32_t kept) { return c < kept; });
  if (it == begin) return {start, 0};
  --it;
  return {static_cast<size_t>(it - columnMarks.begin()) * kLongLine, *it};
}

size_t NfoText::LineStart(size_t line) const {
  size_t at = marks[line / kLinesPerMark];
  for (size_t n = line % kLinesPerMark; n > 0; --n) at = LineEnd(at) + 1;
  return at;
}

size_t NfoText::LineEnd(size_t start) const {
  const size_t limit = std::min(characters.size(), start + kLongLine + 1);
  for (size_t i = start; i < limit; ++i)
    if (characters[i] == u'\n') return i;
  if (limit == characters.size()) return limit;
  const auto line = std::lower_bound(longLines.begin(), longLines.end(),
                                     std::make_pair(static_cast<uint32_t>(start), uint32_t{0}));
  return line != longLines.end() && line->first == start ? line->second : characters.size();
}

NfoText PrepareNfoText(std::string_view bytes) {
  // Never more UTF-16 units than bytes: CP437 gives one per byte, UTF-8 at most one per byte.
  NfoTextBuilder builder(bytes.size());
  if (IsValidUtf8(bytes)) {
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
      i += Utf8SequenceAt(bytes, i, cp);
      builder.Add(cp == '\t' || cp == '\n' || cp == '\r' ? cp : ControlPicture(cp));
    }
  } else {
    for (char c : bytes) builder.Add(Cp437ToUnicode(static_cast<unsigned char>(c)));
  }
  return builder.Finish();
}

bool IsValidUtf8(std::string_view bytes) {
  char32_t cp = 0;
  for (size_t i = 0, length = 0; i < bytes.size(); i += length)
    if ((length = Utf8SequenceAt(bytes, i, cp)) == 0) return false;
  return true;
}

char32_t Cp437ToUnicode(unsigned char byte) {
  if (byte < 0x20) return kLow[byte];
  if (byte == 0x7F) return 0x2302;
  if (byte < 0x80) return byte;
  return kHigh[byte - 0x80];
}

std::string Cp437ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) AppendUtf8(out, Cp437ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string NfoTextToUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Cp437ToUtf8(bytes);
}
