#include "index/ExactNames.h"

#include <memory>
#include <string_view>
#include <unordered_set>

namespace {

// More names than this and every entry is looked up once, rather than each name looked for.
constexpr size_t kMostProbedNames = 8;

// text without the blanks (and what weighs as a blank) that end it.
std::string_view Unpadded(std::string_view text, std::string_view blank) {
  if (blank.empty()) return text;
  while (text.size() >= blank.size() && text.substr(text.size() - blank.size()) == blank)
    text.remove_suffix(blank.size());
  return text;
}

}  // namespace

std::optional<LocalMatcher> CompileExactNames(const std::vector<std::string>& names,
                                              const Collation& collation) {
  std::string blank;
  if (!collation.Fold(" ", blank)) return std::nullopt;
  auto wanted = std::make_shared<std::unordered_set<std::string>>();
  for (const std::string& name : names) {
    if (name.find('\0') != std::string::npos) return std::nullopt;
    std::string folded;
    if (collation.Fold(name, folded)) wanted->emplace(Unpadded(folded, blank));
  }
  LocalMatcher matcher;
  matcher.matches = [wanted, blank](std::string_view dir, std::string_view) {
    return wanted->count(std::string(Unpadded(dir, blank))) > 0;
  };
  // Each name is a way of matching, needing its own text; an empty one (blanks only) and many
  // names leave the lists empty, so every entry is tried.
  bool everyEntry = wanted->size() > kMostProbedNames;
  for (const std::string& name : *wanted) everyEntry = everyEntry || name.empty();
  if (!everyEntry)
    for (const std::string& name : *wanted) matcher.requiredTexts.push_back({name});
  return matcher;
}
