#pragma once
// Sort keys and comparisons of the results list's header-click sort, kept free of the toolkit.
// Column 0 (the date text, MMDDYY) sorts by a number key that moves the last two characters
// (the year) to the front; every other column sorts by a case-insensitive byte-wise text key.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CColumnSorter {
 public:
  enum class KeyKind { Number, Text };

  explicit CColumnSorter(int column) : m_nColumn(column) {}

  int Column() const { return m_nColumn; }
  KeyKind Kind() const { return m_nColumn == 0 ? KeyKind::Number : KeyKind::Text; }

  // The row order for the column texts given in display order: result[i] is the index of the
  // text that goes to position i. Rows with equal keys keep their relative order.
  std::vector<size_t> SortOrder(const std::vector<std::string>& texts, bool ascending) const;

  // Last two characters, then all before them, read as a leading decimal number: white space
  // skipped, one sign, digits up to the first non-digit, 0 without digits. Saturates instead of
  // overflowing.
  static int64_t NumberKey(std::string_view text);
  // -1, 0 or 1.
  static int CompareNumber(int64_t a, int64_t b);
  // Byte by byte, unsigned, ASCII A-Z compared as a-z; a shorter prefix sorts first.
  static int CompareText(std::string_view a, std::string_view b);

 private:
  int m_nColumn;
};
