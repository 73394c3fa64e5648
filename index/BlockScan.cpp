#include "index/BlockScan.h"

#include <sqlite3.h>

#include <algorithm>

#include "index/BlockSketch.h"
#include "index/BlockView.h"
#include "index/SqliteStatement.h"

// The blocks of this part on db: count, and the limit's best rows, kept in a buffer cut back to the
// best limit rows whenever it fills, the worst of those then being the bar for the rest (a heap
// costs a logarithm on every row when dates rise with ids, as they do).
void BlockScan::Run(sqlite3* db) {
  BlockScan& part = *this;
  const LocalQuery& query = *part.query;
  const bool descending = query.order == 1;
  auto better = [descending](const Key& a, const Key& b) { return descending ? a > b : a < b; };
  const size_t keep = query.countOnly ? 0 : static_cast<size_t>(query.limit);
  Key bar{};
  bool haveBar = false;
  auto cut = [&] {
    if (part.kept.size() <= keep) return;
    std::nth_element(part.kept.begin(), part.kept.begin() + static_cast<std::ptrdiff_t>(keep - 1),
                     part.kept.end(), better);
    part.kept.resize(keep);
    bar = part.kept.back();
    haveBar = true;
  };
  // known: the directory holds every text of a list that suffices, so it matches.
  auto consider = [&](const BlockView& b, uint32_t i, bool known) {
    const int32_t date = b.Date(i);
    if (part.range && (date == kNullDate || date < part.from || date > part.to)) return;
    if (b.Id(i) > part.highest) return;
    if (!known && !query.matcher.matches(b.Dir(i), b.DateStr(i))) return;
    ++part.count;
    if (keep == 0) return;
    const Key key{date, b.Id(i)};
    if (haveBar && !better(key, bar)) return;
    part.kept.push_back(key);
    if (part.kept.size() >= 2 * keep + 1024) cut();
  };
  const auto& lists = query.matcher.requiredTexts;
  // Whether dir holds every text of the list but the one its probe found.
  auto holdsRest = [&](size_t list, std::string_view dir) {
    const std::vector<std::string>& texts = lists[list];
    for (size_t t = 0; t < texts.size(); ++t)
      if (t != (*part.probeTexts)[list] && dir.find(texts[t]) == std::string_view::npos) return false;
    return true;
  };

  // Whether a block of this sketch and date span may hold a match.
  auto mayMatch = [&part](std::string_view bits, long long low, long long high) {
    if (part.range && (high < part.from || low > part.to)) return false;
    if (part.everyRow) return true;
    for (const auto& wanted : *part.listBits)
      if (BlockSketch::HasAll(bits, wanted)) return true;
    for (uint32_t bit : *part.dateBits)
      if (BlockSketch::HasAll(bits, {bit})) return true;
    return false;
  };
  SqliteStatement sketches(db,
                           "SELECT first_id, low_date, high_date, bits FROM sketches WHERE first_id >= ? AND "
                           "first_id < ? ORDER BY first_id");
  SqliteStatement blocks(db, "SELECT data FROM blocks WHERE first_id = ?");
  if (!sketches.ok() || !blocks.ok()) {
    part.rc = sqlite3_extended_errcode(db);
    return;
  }
  sketches.Bind(1, part.firstBlock);
  sketches.Bind(2, part.endBlock);
  enum : uint8_t { kNot, kTry, kMatches };
  std::vector<uint8_t> candidate;
  int rc;
  while ((rc = sketches.Step()) == SQLITE_ROW) {
    if (!mayMatch(sketches.Text(3), sqlite3_column_int64(sketches.get(), 1),
                  sqlite3_column_int64(sketches.get(), 2)))
      continue;
    blocks.Reset();
    blocks.Bind(1, sqlite3_column_int64(sketches.get(), 0));
    // A sketch without its block: the copy is not whole.
    if ((rc = blocks.Step()) != SQLITE_ROW) {
      part.rc = rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
      return;
    }
    BlockView b;
    const std::string_view data = blocks.Text(0);
    if (!b.Parse(data.data(), data.size())) {
      part.rc = SQLITE_CORRUPT;
      return;
    }
    if (part.everyRow) {
      for (uint32_t i = 0; i < b.n; ++i) consider(b, i, false);
      continue;
    }
    candidate.assign(b.n, kNot);
    const std::string_view dirs = b.Dirs();
    for (size_t list = 0; list < part.probes->size(); ++list) {
      const TextFinder& probe = (*part.probes)[list];
      size_t at = 0;
      uint32_t from = 0;
      while ((at = probe.Find(dirs, at)) != TextFinder::npos) {
        const uint32_t row = from = b.RowAt(uint32_t(at), from);
        const uint32_t end = b.DirEnd(row);
        // A hit across two names is none: look again from the next byte.
        if (at + probe.Size() > end) {
          ++at;
          continue;
        }
        // A name missing one of the list's texts matches only by another list, whose own probe
        // finds it, or by its date string, which is tried below.
        if (candidate[row] != kMatches && holdsRest(list, b.Dir(row)))
          candidate[row] = query.matcher.textsSuffice ? kMatches : kTry;
        at = end;
      }
    }
    // The block's date strings a word may match, then its rows that have one of them.
    uint8_t probed[256] = {};
    bool anyProbed = false;
    for (const std::string& dateStr : *part.dateProbes)
      for (uint32_t k = 0; k < b.dsCount; ++k)
        if (b.DateStrAt(k) == dateStr) {
          probed[k] = 1;
          anyProbed = true;
        }
    for (uint32_t i = 0; anyProbed && i < b.n; ++i)
      if (candidate[i] == kNot && probed[b.dsIndex[i]]) candidate[i] = kTry;
    for (uint32_t i = 0; i < b.n; ++i)
      if (candidate[i] != kNot) consider(b, i, candidate[i] == kMatches);
  }
  if (rc != SQLITE_DONE) part.rc = rc;
  if (keep > 0) cut();
}
