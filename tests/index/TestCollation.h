#pragma once
// A stand-in collation for tests of the copy: ASCII letters fold to lower case, as the test
// servers' case-insensitive collation compares them, and a mask of plain words (AND) matches as
// the statements' LIKE does. Masks with operators or wildcards are left to the server.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/CopyCollation.h"

inline bool TestFold(std::string_view text, std::string& folded) {
  folded.clear();
  for (unsigned char c : text) {
    if (c >= 0x80) return false;  // the test rows are ASCII; anything else is not reproduced
    folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return true;
}

inline std::optional<LocalMatcher> TestMatcher(const std::string& mask) {
  std::vector<std::string> words;
  std::string word;
  for (char c : mask + " ") {
    if (std::string_view("*%_()|&!\\'\"").find(c) != std::string_view::npos) return std::nullopt;
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      std::string folded;
      if (!TestFold(word, folded)) return std::nullopt;
      words.push_back(folded);
      word.clear();
    }
  }
  if (words.empty()) return std::nullopt;
  LocalMatcher matcher;
  matcher.matches = [words](std::string_view dir, std::string_view dateStr) {
    for (const std::string& w : words)
      if (dir.find(w) == std::string_view::npos && dateStr != w) return false;
    return true;
  };
  // A word of digits may match the date string alone; the others must be in the name.
  std::vector<std::string> required;
  for (const std::string& w : words)
    if (w.find_first_not_of("0123456789") != std::string::npos) required.push_back(w);
  if (!required.empty()) matcher.requiredTexts.push_back(required);
  matcher.textsSuffice = required.size() == words.size();
  return matcher;
}

inline CopyCollationSource TestCollationSource() {
  CopyCollationSource source;
  source.probe = [](DupesConnection&, std::string& key, std::string&) {
    key = "test-ascii-ci";
    return true;
  };
  source.load = [](const std::string& key) -> std::optional<CopyCollation> {
    if (key != "test-ascii-ci") return std::nullopt;
    // Whole names: equal once folded.
    auto exact = [](const std::vector<std::string>& names) -> std::optional<LocalMatcher> {
      auto folded = std::make_shared<std::vector<std::string>>();
      for (const std::string& name : names)
        if (std::string f; TestFold(name, f)) folded->push_back(f);
      LocalMatcher matcher;
      matcher.matches = [folded](std::string_view dir, std::string_view) {
        return std::find(folded->begin(), folded->end(), dir) != folded->end();
      };
      return matcher;
    };
    return CopyCollation{TestFold, TestMatcher, exact};
  };
  return source;
}
