#pragma once
// A search of the copy runs in parts, one a thread, each over a range of the blocks.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "index/LocalIndex.h"
#include "index/TextFinder.h"

struct sqlite3;

// What one part of a search looks for, and what it found in its blocks.
struct BlockScan {
  using Key = std::pair<int32_t, int32_t>;  // (date, id), the statements' order

  const LocalQuery* query = nullptr;
  const std::vector<TextFinder>* probes = nullptr;               // one per list of required texts
  const std::vector<size_t>* probeTexts = nullptr;               // which text of its list each one finds
  const std::vector<std::string>* dateProbes = nullptr;          // folded date strings that may match
  const std::vector<std::vector<uint32_t>>* listBits = nullptr;  // the sketch bits of each list
  const std::vector<uint32_t>* dateBits = nullptr;               // and of each date probe
  bool everyRow = false;
  bool range = false;
  int32_t from = 0, to = 0;
  long long firstBlock = 0, endBlock = 0;  // first_id in [firstBlock, endBlock)
  long long highest = 0;                   // rows above it came after the search began

  long long count = 0;
  std::vector<Key> kept;
  int rc = 0;  // SQLITE_OK

  // Scans the blocks [firstBlock, endBlock) on db, in the transaction it is in.
  void Run(sqlite3* db);
};
