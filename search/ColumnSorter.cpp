#include "search/ColumnSorter.h"

#include <algorithm>
#include <numeric>

#include "platform/AsciiText.h"

int64_t CColumnSorter::NumberKey(std::string_view text) {
  // The rotated text read in place: the last two characters first, then the rest.
  if (text.size() < 2) return LeadingNumber(text);
  return LeadingNumber(text.substr(text.size() - 2), text.substr(0, text.size() - 2));
}

int CColumnSorter::CompareNumber(int64_t a, int64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CColumnSorter::CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
    const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<size_t> CColumnSorter::SortOrder(const std::vector<std::string>& texts, bool ascending) const {
  std::vector<size_t> order(texts.size());
  std::iota(order.begin(), order.end(), size_t{0});
  if (Kind() == KeyKind::Number) {
    std::vector<int64_t> keys(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) keys[i] = NumberKey(texts[i]);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return ascending ? CompareNumber(keys[a], keys[b]) < 0 : CompareNumber(keys[b], keys[a]) < 0;
    });
  } else {
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return ascending ? CompareText(texts[a], texts[b]) < 0 : CompareText(texts[b], texts[a]) < 0;
    });
  }
  return order;
}
