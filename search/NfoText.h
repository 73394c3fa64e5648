#pragma once
// How the bytes of an NFO become text. NFO files come as UTF-8 or, mostly, as bytes of the DOS
// code page 437 drawn by a terminal font. A byte string that is valid UTF-8 as a whole is taken as
// UTF-8; anything else is read as CP437 from the first byte to the last, never mixed.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequence.
bool IsValidUtf8(std::string_view bytes);

// The code point code page 437 draws for byte. The graphic characters of 0x01-0x1F and 0x7F are
// the terminal font's, except tab, line feed and carriage return, which keep laying out the text.
// A NUL is drawn as a blank cell.
char32_t Cp437ToUnicode(unsigned char byte);

std::string Cp437ToUtf8(std::string_view bytes);

// The text to show for the stored bytes, as UTF-8. Line ends stay as stored.
std::string NfoTextToUtf8(std::string_view bytes);

// An NFO made ready for the viewer off the UI thread: its characters in UTF-16, each line end
// (CR LF, LF or a lone CR) as one LF. Tabs stay tabs; the viewer lays them out at 8-column stops.
// A line is found from the nearest of the starts kept for every kLinesPerMark-th line, so the
// index stays small even for a text made only of line ends.
// Likewise the end of a line is looked up, not searched for, once the line is longer than
// kLongLine: finding a line end never reads more than that. In a text with tabs the column of
// every kLongLine-th character is kept too, so no column is found by walking further than that.
struct NfoText {
  static constexpr size_t kLinesPerMark = 64;
  static constexpr size_t kLongLine = 4096;
  static constexpr size_t kTabStop = 8;
  std::u16string characters;
  std::vector<uint32_t> marks;  // where lines 0, kLinesPerMark, 2 kLinesPerMark ... begin
  std::vector<std::pair<uint32_t, uint32_t>> longLines;  // start and end of each long line
  std::vector<uint32_t> columnMarks;  // with tabs: the column of characters 0, kLongLine, 2 kLongLine ...
  size_t lineCount = 0;
  size_t widestLine = 0;  // in columns, tabs laid out
  bool hasTabs = false;

  // Where line begins in characters (line < lineCount).
  size_t LineStart(size_t line) const;
  // The end of the line that begins at start (its LF, or the end of the text).
  size_t LineEnd(size_t start) const;

  // The column after character c when it stands at column: a tab goes on to the next stop, any
  // other UTF-16 unit takes one column.
  static size_t NextColumn(char16_t c, size_t column) {
    return c == u'\t' ? column + kTabStop - column % kTabStop : column + 1;
  }
  // Where to begin walking the line that begins at start, as a character and its column: the
  // last kept column at or before character index, or at or before column. The walk from there
  // is never longer than kLongLine characters.
  std::pair<size_t, size_t> WalkFromIndex(size_t start, size_t index) const;
  std::pair<size_t, size_t> WalkFromColumn(size_t start, size_t column) const;
};

// The bytes as the viewer shows them, read as NfoTextToUtf8 says. Other control characters of a
// UTF-8 text are drawn as their control pictures (U+2400 on); a NUL never ends the text.
NfoText PrepareNfoText(std::string_view bytes);
