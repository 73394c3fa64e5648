#pragma once
// A search mask compiled for the local copy: the very condition the search statements give the
// server (db/SearchRequest.h), evaluated on folded texts (Collation::Fold) of one entry.
//
// Each word w is `dir LIKE '%w%' OR dateStr LIKE 'w'`: `%` any run of characters, `_` exactly
// one, every other character (backslash and quote included) itself as the collation weighs it,
// trailing blanks counting. A word with a character the names' set has not matches nothing.
// `!` adds nothing, so no word ever counts against a match: the condition only grows with its
// words, which is what lets RequiredTexts and MayMatchByDate narrow a scan without losing one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/Collation.h"

class MaskProgram {
 public:
  // Nothing, with the reason in why, when the server would refuse the statement the mask gives
  // (brackets that do not balance, a connector without its operands, an empty mask) or its
  // answer cannot be reproduced here (a NUL would cut the statement): then the statements go to
  // the server as defined. The mask is taken alone: with a date range around it, a mask whose
  // brackets close the range's own is refused here too.
  static std::optional<MaskProgram> Compile(const std::string& mask, const Collation& collation,
                                            std::string* why = nullptr);

  // Whether an entry matches: its directory and its date string, both folded.
  bool Matches(std::string_view foldedDir, std::string_view foldedDateStr) const;

  // The prefilter. An entry can match only if its date string passes MayMatchByDate, or its
  // directory holds every text of at least one list of RequiredTexts. nullopt: some way of
  // matching needs no text (a word of wildcards only), so every entry must be tried; an empty
  // list of lists: no directory can match (every way needs a word the set cannot hold).
  // Texts are folded and free of wildcards, so a bytewise substring search finds them.
  std::optional<std::vector<std::vector<std::string>>> RequiredTexts() const;
  // Whether some word matches this folded date string as a whole: such entries must be tried
  // whatever their directory. A store can ask once per distinct date string.
  bool MayMatchByDate(std::string_view foldedDateStr) const;
  // Whether a directory holding every text of one list of RequiredTexts matches for that alone:
  // so when every word the set can hold is one plain text, without `%` or `_` inside.
  bool TextsSuffice() const;

 private:
  // A LIKE pattern on folded texts: pieces between `%` runs, each a row of units (a folded
  // character, or empty for `_`).
  struct Pattern {
    bool open = false;  // begins with `%`
    bool tail = false;  // ends with `%`
    std::vector<std::vector<std::string>> pieces;
    bool Like(std::string_view folded) const;
  };
  struct Word {
    bool held = false;
    Pattern dir;   // %w%
    Pattern date;  // w
  };
  struct Node {
    enum Kind : uint8_t { kWord, kAnd, kOr } kind = kWord;
    uint32_t word = 0;
    std::vector<uint32_t> operands;  // of kAnd and kOr, in the mask's order
  };
  using Alternatives = std::vector<std::vector<std::string>>;
  std::optional<Alternatives> Required(uint32_t node) const;
  bool Eval(uint32_t node, std::string_view dir, std::string_view dateStr) const;

  std::vector<Word> m_words;
  std::vector<Node> m_nodes;
  uint32_t m_root = 0;
};
