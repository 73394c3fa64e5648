#pragma once
// When and where the local copy is checked against its server next: ranges of ids of about
// kRowsPerRange rows (more on a large table, so that a pass takes at most kMostChecksPerHour
// checks), spread so that the whole copy is checked once an hour. A check reads its range once
// by primary key, where one search reads the whole table twice with LIKE and counts it again.
//
//   CheckStep step = CheckPlan::Next(copy.CheckCursor(), copy.Rows(), copy.HighestId());
//   ... wait step.interval, then copy.CheckNextRange(connection, fold, report, why);
#include <chrono>

struct CheckStep {
  long long firstId = 0, lastId = 0;  // both included
  bool last = false;                  // the pass ends with it: the cursor goes back to the start
  long long nextCursor = 0;           // the cursor after it
  std::chrono::seconds interval{0};   // from the previous check
};

class CheckPlan {
 public:
  static constexpr long long kRowsPerRange = 20000;
  static constexpr long long kMostChecksPerHour = 720;
  static constexpr std::chrono::seconds kPass{3600};

  // The range after cursor in a copy of rows rows up to id highest. A pass starts from the
  // lowest id there can be (cursor 0), so that rows below the copy's first are found too.
  static CheckStep Next(long long cursor, long long rows, long long highest);
  // The ids of one range: rows spread evenly over the ids up to highest.
  static long long RangeIds(long long rows, long long highest);
  // How many checks are due at now (seconds) when the last was at checkedAt (0: never, and one
  // is due): as many as the plan's intervals passed since, at most a whole pass.
  static long long Due(long long checkedAt, long long now, long long cursor, long long rows,
                       long long highest);
};
