#include "controls/HistoryModel.h"

#include <locale.h>
#include <wctype.h>

#include <clocale>
#include <cwctype>

namespace {

// The C library's own Unicode tables, whatever locale the program runs in.
locale_t UnicodeLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

// The text as code points with case folded away, for comparison only. Sharp s folds to "ss" as
// in full case folding, so "STRASSE" finds "straße". A byte that starts no UTF-8 sequence stays
// a value of its own.
std::u32string Fold(const std::string& text) {
  std::u32string folded;
  folded.reserve(text.size());
  const locale_t locale = UnicodeLocale();
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no characters either.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && c >= kLeast[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    if (!valid) {
      folded += static_cast<char32_t>(0x110000 + lead);
      ++i;
      continue;
    }
    i += static_cast<size_t>(length);
    if (c == U'\u00DF' || c == U'\u1E9E') {
      folded += U"ss";
    } else {
      folded += static_cast<char32_t>(locale ? towlower_l(static_cast<wint_t>(c), locale)
                                             : (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
  }
  return folded;
}

std::string UpToNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return Fold(text).starts_with(Fold(prefix));
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return Fold(a) == Fold(b);
}

}  // namespace

int CHistoryModel::FindExact(const std::string& text) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& item = m_items[static_cast<size_t>(i)];
    if (EqualsNoCase(item, text)) return i;
  }
  return -1;
}

int CHistoryModel::FindPrefix(const std::string& prefix) const {
  for (int i = 0; i < Count(); ++i) {
    if (StartsWithNoCase(m_items[static_cast<size_t>(i)], prefix)) return i;
  }
  return -1;
}

bool CHistoryModel::AddToHistory(const std::string& whole) {
  const std::string text = UpToNul(whole);
  if (text.empty()) return false;
  int found = FindExact(text);
  if (found >= 0) m_items.erase(m_items.begin() + found);
  m_items.insert(m_items.begin(), text);
  m_nSelected = 0;
  if (m_items.size() > m_nMaxHistory) m_items.resize(m_nMaxHistory);
  // With a maximum of 0 the new item is gone at once, and with it the selection.
  SetCurSel(m_nSelected);
  return found < 0;
}

bool CHistoryModel::RemoveItem(int index) {
  if (index == -1) index = m_nSelected;
  if (index < 0 || index >= Count()) return false;
  m_items.erase(m_items.begin() + index);
  SetCurSel(index < Count() ? index : index - 1);
  return true;
}

void CHistoryModel::SetMaxHistoryCount(unsigned count) {
  m_nMaxHistory = count;
  if (m_items.size() > count) m_items.resize(count);
  SetCurSel(m_nSelected);
}

std::string CHistoryModel::GetHistoryString() const {
  std::string result;
  for (const std::string& item : m_items) {
    if (!result.empty()) result += '|';
    result += item;
  }
  return result;
}

void CHistoryModel::SetHistoryString(const std::string& whole) {
  const std::string history = UpToNul(whole);
  m_items.clear();
  m_nSelected = -1;
  if (m_nMaxHistory == 0) return;
  size_t pos = 0;
  while (pos <= history.size()) {
    size_t bar = history.find('|', pos);
    if (bar == std::string::npos) bar = history.size();
    if (bar > pos) m_items.push_back(history.substr(pos, bar - pos));
    pos = bar + 1;
  }
}

void CHistoryModel::SetHistoryItems(const std::vector<std::string>& items) {
  m_items.clear();
  m_nSelected = -1;
  if (m_nMaxHistory == 0) return;
  for (const std::string& whole : items) {
    std::string item = UpToNul(whole);
    if (!item.empty()) m_items.push_back(std::move(item));
  }
}
