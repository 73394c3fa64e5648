#pragma once
// A search mask's tokens, worked out without the query builder so that it can be checked
// against them. Header only, without Qt: the fuzzers use it too.
#include <string>
#include <vector>

inline bool IsMaskOperator(char c) {
  return c == '!' || c == '&' || c == '(' || c == ')' || c == '|';
}

inline bool IsMaskOperatorToken(const std::string& token) {
  return token.size() == 1 && IsMaskOperator(token[0]);
}

// Operators stand alone, '*' reads as '%', and words end at spaces; other white space counts as
// part of a word except at either end of the mask.
inline std::vector<std::string> MaskTokens(const std::string& mask) {
  std::string spaced;
  for (char c : mask) {
    if (IsMaskOperator(c)) {
      spaced += std::string(" ") + c + " ";
    } else {
      spaced += c == '*' ? '%' : c;
    }
  }
  const auto isTrimSpace = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  size_t first = 0, last = spaced.size();
  while (first < last && isTrimSpace(spaced[first])) ++first;
  while (last > first && isTrimSpace(spaced[last - 1])) --last;
  std::vector<std::string> tokens;
  std::string current;
  for (size_t i = first; i <= last; ++i) {
    if (i < last && spaced[i] != ' ') {
      current += spaced[i];
    } else if (!current.empty()) {
      tokens.push_back(current);
      current.clear();
    }
  }
  return tokens;
}
