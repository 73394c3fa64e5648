#pragma once
// The history list of a history combo: most recent first, at most a maximum of items after each
// addition, and which item is selected (-1 for none: text typed by hand selects nothing).
#include <string>
#include <vector>

// Texts are C strings, as the control's list holds them: each one ends at its first NUL, so no
// item ever carries one (a stored history could not keep it).
class CHistoryModel {
 public:
  // True when text was new; false when it was empty (nothing changes) or an equal item, ignoring
  // case, was there (it moves to the top in the case given). The new top item is selected.
  bool AddToHistory(const std::string& text);
  // index -1 is the selected item. False when there is no item there.
  bool RemoveItem(int index = -1);
  void SetMaxHistoryCount(unsigned count);
  unsigned GetMaxHistoryCount() const { return m_nMaxHistory; }
  std::string GetHistoryString() const;
  void SetHistoryString(const std::string& history);
  // Replaces the list with these items as they are, as SetHistoryString does with its pieces.
  void SetHistoryItems(const std::vector<std::string>& items);

  // First item that begins with prefix, ignoring case, or -1.
  int FindPrefix(const std::string& prefix) const;
  int FindExact(const std::string& text) const;

  const std::vector<std::string>& Items() const { return m_items; }
  int Count() const { return static_cast<int>(m_items.size()); }
  int GetCurSel() const { return m_nSelected; }
  // -1 or an index outside the list selects nothing.
  void SetCurSel(int index) { m_nSelected = index >= 0 && index < Count() ? index : -1; }

 private:
  std::vector<std::string> m_items;
  int m_nSelected = -1;
  unsigned m_nMaxHistory = 6;
};
