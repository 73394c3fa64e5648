#include "search/ColumnSorter.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {
bool g_bSortColumn0Ascending = false;
bool g_bSortOtherAscending = false;

bool& DirectionFlag(int column) {
  return column == 0 ? g_bSortColumn0Ascending : g_bSortOtherAscending;
}

unsigned char Fold(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}
}  // namespace

int64_t CColumnSorter::NumberKey(std::string_view text) {
  // Read the rotated text in place: the last two characters first, then the rest.
  const size_t n = text.size();
  auto at = [&](size_t i) { return n < 2 ? text[i] : (i < 2 ? text[n - 2 + i] : text[i - 2]); };
  size_t i = 0;
  while (i < n && (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (at(i) == '+' || at(i) == '-')) negative = at(i++) == '-';
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (; i < n && at(i) >= '0' && at(i) <= '9'; ++i) {
    const int digit = at(i) - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return negative ? -value : value;
}

int CColumnSorter::CompareNumber(int64_t a, int64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CColumnSorter::CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = Fold(a[i]);
    unsigned char y = Fold(b[i]);
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

bool CColumnSorter::FlipDirection(int column) {
  bool& flag = DirectionFlag(column);
  flag = !flag;
  return flag;
}

bool CColumnSorter::NextDirectionAscending(int column) {
  return !DirectionFlag(column);
}
