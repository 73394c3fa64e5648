#include "search/RetrievalRules.h"

#include <algorithm>
#include <climits>

namespace {

// What DUPES_DATE_STR VARCHAR(16) and DUPES_DIR VARCHAR(255) hold at four bytes a character,
// the most any connection character set takes.
constexpr unsigned long kDateStrBytes = 16 * 4;
constexpr unsigned long kDirBytes = 255 * 4;

}  // namespace

RetrievalLimit ChooseRetrievalLimit(int32_t requested, bool getAll, long long count) {
  RetrievalLimit result;
  result.limit = getAll ? static_cast<int32_t>(std::min<long long>(count, INT32_MAX)) : requested;
  if (result.limit > kRetrievalCap && count > kRetrievalCap) {
    result.limit = kRetrievalCap;
    result.capped = true;
  }
  return result;
}

ResultBounds DupeRowBounds(int32_t limit) {
  ResultBounds bounds;
  bounds.maxRows = static_cast<unsigned long long>(std::max(limit, 0));
  bounds.maxFieldBytes = {0, 0, kDateStrBytes, kDirBytes};
  return bounds;
}
