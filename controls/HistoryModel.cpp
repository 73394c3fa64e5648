#include "controls/HistoryModel.h"

namespace {

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string UpToNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Fold(text[i]) != Fold(prefix[i])) return false;
  }
  return true;
}

}  // namespace

int CHistoryModel::FindExact(const std::string& text) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& item = m_items[static_cast<size_t>(i)];
    if (item.size() == text.size() && StartsWithNoCase(item, text)) return i;
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
