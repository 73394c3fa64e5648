#pragma once
// A search mask compiled for the local copy: the very condition the search statements give the
// server (db/SearchRequest.h), evaluated on folded texts (Collation::Fold) of one entry.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/Collation.h"

class MaskProgram {
 public:
  // Nothing, with the reason in why, when the server would refuse the statement the mask gives
  // (brackets that do not balance, a connector without its operands, an empty mask) or its
  // answer cannot be reproduced here: then the statements go to the server as defined.
  static std::optional<MaskProgram> Compile(const std::string& mask, const Collation& collation,
                                            std::string* why = nullptr);

  // Whether an entry matches: its directory and its date string, both folded.
  bool Matches(std::string_view foldedDir, std::string_view foldedDateStr) const;

  // Folded texts every matching directory holds, one list per way of matching (a match holds
  // every text of at least one list). Empty when some way of matching needs no text at all (a
  // match by date string alone, or a word of wildcards only): then every entry must be tried.
  std::vector<std::vector<std::string>> RequiredTexts() const;
};
