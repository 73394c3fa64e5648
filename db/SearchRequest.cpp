#include "db/SearchRequest.h"

#include <cstddef>

#include "db/SqlText.h"
#include "platform/AsciiText.h"

namespace {

bool IsOperator(char c) {
  return c == '!' || c == '&' || c == '(' || c == ')' || c == '|';
}

bool IsTrimSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A word goes into two LIKE literals. Quotes are doubled, which every SQL mode reads as one quote.
// A backslash becomes four: the string literal turns them into two, which LIKE reads as one
// literal backslash. Either way no character of the word can end the literal early.
std::string EscapeLikeWord(const std::string& word) {
  std::string out;
  out.reserve(word.size());
  for (char c : word) {
    if (c == '\'') {
      out += "''";
    } else if (c == '\\') {
      out += "\\\\\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

// The head and the tail every search statement shares, so the whole-name check orders and
// limits exactly as a mask does.
std::string SelectHead(bool countOnly) {
  return countOnly ? "SELECT COUNT(*) FROM DUPES WHERE "
                   : "SELECT DUPES_ID,DUPES_DATE,DUPES_DATE_STR,DUPES_DIR FROM DUPES WHERE ";
}

void AppendOrderAndLimit(std::string& sql, int limit, int order, bool countOnly) {
  sql += order == 1 ? " ORDER BY DUPES_DATE DESC, DUPES_ID DESC" : " ORDER BY DUPES_DATE, DUPES_ID";
  if (!countOnly) {
    sql += " LIMIT ";
    sql += std::to_string(limit);
  }
}

}  // namespace

std::string NormaliseSearchMask(std::string mask) {
  std::string spaced;
  spaced.reserve(mask.size() * 2);
  for (char c : mask) {
    if (IsOperator(c)) {
      spaced += ' ';
      spaced += c;
      spaced += ' ';
    } else if (c == '*') {
      spaced += '%';
    } else {
      spaced += c;
    }
  }
  std::string single;
  single.reserve(spaced.size());
  for (size_t i = 0; i < spaced.size(); ++i) {
    if (spaced[i] == ' ' && i > 0 && spaced[i - 1] == ' ') continue;
    single += spaced[i];
  }
  size_t first = 0;
  while (first < single.size() && IsTrimSpace(single[first])) ++first;
  size_t last = single.size();
  while (last > first && IsTrimSpace(single[last - 1])) --last;
  return single.substr(first, last - first);
}

bool NextMaskWord(std::string& rest, std::string& word) {
  word.clear();
  if (rest.empty()) return false;
  size_t end = 1;
  while (end < rest.size() && rest[end] != ' ') ++end;
  word = rest.substr(0, end);
  rest = end < rest.size() ? rest.substr(end + 1) : std::string();
  return true;
}

std::string BuildDupesQuery(const std::string& mask, const std::string& startBound,
                            const std::string& endBound, int limit, int order, bool countOnly) {
  return BuildDupesQuery(mask, startBound, endBound, limit, order, countOnly, nullptr);
}

std::string BuildDupesQuery(const std::string& mask, const std::string& startBound,
                            const std::string& endBound, int limit, int order, bool countOnly,
                            const std::function<bool(const std::string& word)>& canHold) {
  enum class Prev { Start, OperandEnd, Connector, Open };
  const bool range = !startBound.empty() && !endBound.empty();
  std::string sql = SelectHead(countOnly);
  if (range) sql += " ( ";

  std::string rest = NormaliseSearchMask(mask);
  std::string token;
  Prev prev = Prev::Start;
  while (NextMaskWord(rest, token)) {
    switch (token[0]) {
      case '&':
        sql += " AND ";
        prev = Prev::Connector;
        break;
      case '|':
        sql += " OR ";
        prev = Prev::Connector;
        break;
      case '(':
        if (prev == Prev::OperandEnd) sql += " AND ";
        sql += " ( ";
        prev = Prev::Open;
        break;
      case ')':
        sql += " ) ";
        prev = Prev::OperandEnd;
        break;
      case '!':
        break;
      default: {
        if (prev == Prev::OperandEnd) sql += " AND ";
        prev = Prev::OperandEnd;
        if (canHold && !canHold(token)) {
          sql += " ( 1 = 0 ) ";
          break;
        }
        const std::string word = EscapeLikeWord(token);
        sql += " ( DUPES_DIR LIKE '%";
        sql += word;
        sql += "%'";
        sql += " OR DUPES_DATE_STR LIKE '";
        sql += word;
        sql += "' ) ";
      }
    }
  }

  if (range) {
    sql += " ) AND (DUPES_DATE >= '";
    sql += EscapeSqlLiteral(startBound);
    sql += "' AND DUPES_DATE <= '";
    sql += EscapeSqlLiteral(endBound);
    sql += "')";
  }
  AppendOrderAndLimit(sql, limit, order, countOnly);
  return sql;
}

std::string BuildExactDupesQuery(const std::vector<std::string>& names, int limit, int order,
                                 bool countOnly) {
  std::string sql = SelectHead(countOnly);
  if (names.empty()) {
    sql += "FALSE";
  } else {
    // One list, however long: names the collation holds equal can never count twice.
    sql += "DUPES_DIR IN (";
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) sql += ',';
      sql += '\'';
      sql += EscapeSqlLiteral(names[i]);
      sql += '\'';
    }
    sql += ')';
  }
  AppendOrderAndLimit(sql, limit, order, countOnly);
  return sql;
}

int CountDigits(const std::string& text) {
  int count = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') ++count;
  }
  return count;
}

bool IsValidMonthDay(const std::string& text) {
  const std::string_view digits(text);
  const int64_t month = LeadingNumber(digits.substr(0, 2));
  const int64_t day = text.size() > 3 ? LeadingNumber(digits.substr(3, 2)) : 0;
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::string ToSqlDate(const std::string& text) {
  const std::string year = text.size() >= 4 ? text.substr(text.size() - 4) : text;
  return year + "-" + text.substr(0, 5);
}
