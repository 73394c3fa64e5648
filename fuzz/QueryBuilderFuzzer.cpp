// Any mask, any bounds: the statement stays one statement whose string literals are exactly the
// pieces of the match groups and the range, with the words' text inside them and nowhere else.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/SearchRequest.h"

namespace {

// Splits SQL the way the server reads it in its default mode: quotes doubled or backslash-escaped
// inside '...'. Returns false when a literal never ends. skeleton gets the text outside literals,
// with each literal replaced by '?'.
bool SplitLiterals(const std::string& sql, std::string& skeleton, std::vector<std::string>& literals) {
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] != '\'') {
      skeleton += sql[i];
      continue;
    }
    std::string value;
    ++i;
    for (;; ++i) {
      if (i >= sql.size()) return false;
      if (sql[i] == '\\') {
        if (++i >= sql.size()) return false;
        value += sql[i];
      } else if (sql[i] == '\'') {
        if (i + 1 < sql.size() && sql[i + 1] == '\'') {
          value += '\'';
          ++i;
        } else {
          break;
        }
      } else {
        value += sql[i];
      }
    }
    literals.push_back(value);
    skeleton += '?';
  }
  return true;
}

bool IsOperator(const std::string& token) {
  return token.size() == 1 && std::string("!&()|").find(token[0]) != std::string::npos;
}

// The LIKE pattern a word stands for: a backslash is matched literally.
std::string LikePattern(const std::string& word) {
  std::string out;
  for (char c : word) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  // Input: mask, then optionally "\x01start\x01end" for a range.
  std::string mask = input, start, end;
  if (auto a = input.find('\x01'); a != std::string::npos) {
    mask = input.substr(0, a);
    auto b = input.find('\x01', a + 1);
    start = input.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos) end = input.substr(b + 1);
  }
  if (mask.find('\0') != std::string::npos) return 0;  // a C string cannot carry it to the server

  std::vector<std::string> words;
  std::string rest = NormaliseSearchMask(mask), token, neutral;
  while (NextMaskWord(rest, token)) {
    if (!IsOperator(token)) words.push_back(token);
    neutral += (IsOperator(token) ? token : std::string("w")) + " ";
  }
  const bool range = !start.empty() && !end.empty();

  for (bool countOnly : {true, false}) {
    const std::string sql = BuildDupesQuery(mask, start, end, 20, 1, countOnly);
    std::string skeleton;
    std::vector<std::string> literals;
    Check(SplitLiterals(sql, skeleton, literals));
    Check(literals.size() == 2 * words.size() + (range ? 2 : 0));
    for (size_t i = 0; i < words.size(); ++i) {
      Check(literals[2 * i] == "%" + LikePattern(words[i]) + "%");
      Check(literals[2 * i + 1] == LikePattern(words[i]));
    }
    // Outside the literals the statement is the one a mask of plain words gives.
    const std::string plain = BuildDupesQuery(neutral, range ? "s" : "", range ? "e" : "", 20, 1, countOnly);
    std::string plainSkeleton;
    std::vector<std::string> plainLiterals;
    Check(SplitLiterals(plain, plainSkeleton, plainLiterals));
    Check(skeleton == plainSkeleton);
  }
  return 0;
}
