#pragma once
// How many rows a search retrieves and what each may hold: the form's search and kestrel-dupe
// share these, so a mask gives the same rows in both.
#include <cstdint>

#include "db/DupesConnection.h"

// No search fetches more rows than this.
inline constexpr int32_t kRetrievalCap = 2000;

struct RetrievalLimit {
  int32_t limit = 0;
  bool capped = false;  // the cap cut it: the form shows RetrievalCapText(kRetrievalCap)
};

// The limit of the row query once count entries matched: every match with getAll, never above
// the cap when more than the cap matched.
RetrievalLimit ChooseRetrievalLimit(int32_t requested, bool getAll, long long count);

// The bounds of the row query (DUPES_ID, DUPES_DATE, DUPES_DATE_STR, DUPES_DIR) for limit rows.
ResultBounds DupeRowBounds(int32_t limit);
