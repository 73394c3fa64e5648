#pragma once
// Whole directory names for the copy, as `DUPES_DIR IN (...)` compares them: under the column's
// collation, trailing blanks not counting (the collations the copy reproduces all pad with
// blanks). A name the collation cannot hold matches nothing, as it reaches the server as one
// that matches nothing.
#include <optional>
#include <string>
#include <vector>

#include "index/Collation.h"
#include "index/LocalIndex.h"

// The matcher of names; nothing when a name is no UTF-8 the statement could carry (a NUL).
std::optional<LocalMatcher> CompileExactNames(const std::vector<std::string>& names,
                                              const Collation& collation);
