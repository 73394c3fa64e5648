// Any mask, bounds, limit, order and query kind: the statement stays one statement. Outside its
// string literals it is exactly the text the mask's operators call for; each literal ends where
// its word or bound ends and holds that word as a LIKE pattern (or the bound), read either way
// the server may read backslashes.
//
// Input: mask, then optionally "\x01start\x01end\x01" and raw bytes for order, flags and limit.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/SearchRequest.h"
#include "fuzz/FuzzCheck.h"
#include "tests/support/MaskTokens.h"

namespace {

// Splits SQL into the text outside single-quoted literals (each literal replaced by '?') and the
// literals' contents as the server decodes them. With backslash escapes on (the default mode),
// '\' escapes the next character, and "\%" and "\_" keep their backslash for LIKE. A doubled
// quote is one quote in either mode. False when a literal never ends.
bool Lex(const std::string& sql, bool backslashEscapes, std::string& skeleton,
         std::vector<std::string>& literals) {
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] != '\'') {
      skeleton += sql[i];
      continue;
    }
    std::string value;
    for (++i;; ++i) {
      if (i >= sql.size()) return false;
      const char c = sql[i];
      if (c == '\\' && backslashEscapes) {
        if (++i >= sql.size()) return false;
        switch (sql[i]) {
          case '0':
            value += '\0';
            break;
          case 'b':
            value += '\b';
            break;
          case 'n':
            value += '\n';
            break;
          case 'r':
            value += '\r';
            break;
          case 't':
            value += '\t';
            break;
          case 'Z':
            value += '\x1a';
            break;
          case '%':
            value += "\\%";
            break;
          case '_':
            value += "\\_";
            break;
          default:
            value += sql[i];
        }
      } else if (c == '\'') {
        if (i + 1 < sql.size() && sql[i + 1] == '\'') {
          value += '\'';
          ++i;
        } else {
          break;
        }
      } else {
        value += c;
      }
    }
    literals.push_back(value);
    skeleton += '?';
  }
  return true;
}

// The statement outside its literals, from the tokens: what the fixed fragments make.
std::string ExpectedSkeleton(const std::vector<std::string>& tokens, bool range, int limit, int order,
                             bool countOnly) {
  std::string s = countOnly ? "SELECT COUNT(*) " : "SELECT DUPES_ID,DUPES_DATE,DUPES_DATE_STR,DUPES_DIR ";
  s += "FROM DUPES WHERE ";
  if (range) s += " ( ";
  bool operandEnd = false;
  for (const std::string& t : tokens) {
    if (t == "&" || t == "|") {
      s += t == "&" ? " AND " : " OR ";
      operandEnd = false;
    } else if (t == "(") {
      if (operandEnd) s += " AND ";
      s += " ( ";
      operandEnd = false;
    } else if (t == ")") {
      s += " ) ";
      operandEnd = true;
    } else if (t != "!") {
      if (operandEnd) s += " AND ";
      s += " ( DUPES_DIR LIKE ? OR DUPES_DATE_STR LIKE ? ) ";
      operandEnd = true;
    }
  }
  if (range) s += " ) AND (DUPES_DATE >= ? AND DUPES_DATE <= ?)";
  s += order == 1 ? " ORDER BY DUPES_DATE DESC, DUPES_ID DESC" : " ORDER BY DUPES_DATE, DUPES_ID";
  if (!countOnly) s += " LIMIT " + std::to_string(limit);
  return s;
}

// A word as a LIKE pattern whose backslashes match themselves.
std::string LikePattern(const std::string& word) {
  std::string out;
  for (char c : word) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// A literal as seen with backslashes read as plain characters, less its backslashes: a NUL,
// sent as backslash and zero, then reads as "0".
std::string WithoutBackslashes(std::string s) {
  std::erase(s, '\\');
  std::replace(s.begin(), s.end(), '\0', '0');
  return s;
}

void CheckStatement(const std::string& sql, const std::vector<std::string>& words, bool range,
                    const std::string& start, const std::string& end, const std::string& skeletonWanted) {
  for (bool backslashEscapes : {true, false}) {
    std::string skeleton;
    std::vector<std::string> literals;
    FUZZ_CHECK(Lex(sql, backslashEscapes, skeleton, literals));
    FUZZ_CHECK(skeleton == skeletonWanted);
    FUZZ_CHECK(literals.size() == 2 * words.size() + (range ? 2 : 0));
    for (size_t i = 0; i < words.size(); ++i) {
      const std::string& dir = literals[2 * i];
      const std::string& date = literals[2 * i + 1];
      if (backslashEscapes) {
        FUZZ_CHECK(dir == "%" + LikePattern(words[i]) + "%");
        FUZZ_CHECK(date == LikePattern(words[i]));
      } else {
        // Backslashes may then match nothing, but every other character stays where it was.
        FUZZ_CHECK(WithoutBackslashes(dir) == "%" + WithoutBackslashes(words[i]) + "%");
        FUZZ_CHECK(WithoutBackslashes(date) == WithoutBackslashes(words[i]));
      }
    }
    if (range) {
      const std::string& a = literals[2 * words.size()];
      const std::string& b = literals[2 * words.size() + 1];
      FUZZ_CHECK(backslashEscapes ? a == start : WithoutBackslashes(a) == WithoutBackslashes(start));
      FUZZ_CHECK(backslashEscapes ? b == end : WithoutBackslashes(b) == WithoutBackslashes(end));
    }
  }
  // Sent as a C string the statement stops at its first NUL: that must fall inside a literal,
  // so the server refuses the cut statement rather than running a shorter one.
  if (const size_t nul = sql.find('\0'); nul != std::string::npos) {
    for (bool backslashEscapes : {true, false}) {
      std::string skeleton;
      std::vector<std::string> literals;
      FUZZ_CHECK(!Lex(sql.substr(0, nul), backslashEscapes, skeleton, literals));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string mask = input, start, end, params;
  if (size_t a = input.find('\x01'); a != std::string::npos) {
    mask = input.substr(0, a);
    size_t b = input.find('\x01', a + 1);
    start = input.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos) {
      size_t c = input.find('\x01', b + 1);
      end = input.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
      if (c != std::string::npos) params = input.substr(c + 1);
    }
  }
  int order = 1;
  int32_t limit = 20;
  if (!params.empty()) order = static_cast<int8_t>(params[0]);
  if (params.size() >= 5) std::memcpy(&limit, params.data() + 1, sizeof limit);

  const std::vector<std::string> tokens = MaskTokens(mask);
  std::vector<std::string> words;
  for (const std::string& t : tokens) {
    if (!IsMaskOperatorToken(t)) words.push_back(t);
  }
  const bool range = !start.empty() && !end.empty();

  // The library's own tokens agree with the ones read here.
  std::string rest = NormaliseSearchMask(mask), token;
  std::vector<std::string> libraryTokens;
  while (NextMaskWord(rest, token)) libraryTokens.push_back(token);
  FUZZ_CHECK(libraryTokens == tokens);

  for (bool countOnly : {true, false}) {
    const std::string sql = BuildDupesQuery(mask, start, end, limit, order, countOnly);
    CheckStatement(sql, words, range, start, end, ExpectedSkeleton(tokens, range, limit, order, countOnly));
  }
  return 0;
}
