#pragma once
// A search request and the pure text operations that turn it into SQL.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SearchRequest {
  std::string m_strMask;  // as typed
  bool m_bUseBetween = false;
  std::string m_strStartDate;  // display text of the start date box
  std::string m_strEndDate;
  std::string m_strStartBound;  // SQL bound, empty when no range applies
  std::string m_strEndBound;
  bool m_bGetAll = false;
  int32_t m_nLimit = 20;
  int32_t m_nOrder = 1;  // 0 FIRST->LAST, 1 LAST->FIRST, -1 none selected
};

std::string NormaliseSearchMask(std::string mask);
bool NextMaskWord(std::string& rest, std::string& word);
std::string BuildDupesQuery(const std::string& mask, const std::string& startBound,
                            const std::string& endBound, int limit, int order, bool countOnly);
// As above; a word that canHold refuses (a letter the names' character set has not) matches
// nothing, instead of reaching the server with '?' for that letter.
std::string BuildDupesQuery(const std::string& mask, const std::string& startBound,
                            const std::string& endBound, int limit, int order, bool countOnly,
                            const std::function<bool(const std::string& word)>& canHold);
// The same statements for entries whose directory is one of names as a whole, compared under
// the column's collation (case as the server decides). No names match nothing.
std::string BuildExactDupesQuery(const std::vector<std::string>& names, int limit, int order, bool countOnly);
int CountDigits(const std::string& text);
bool IsValidMonthDay(const std::string& text);
std::string ToSqlDate(const std::string& text);
