#include "index/CheckPlan.h"

#include <algorithm>
#include <cstdint>

long long CheckPlan::RangeIds(long long rows, long long highest) {
  const long long perRange = std::max(kRowsPerRange, (rows + kMostChecksPerHour - 1) / kMostChecksPerHour);
  if (rows <= 0 || highest <= 0) return perRange;
  // Gaps in the ids make a range of ids hold fewer rows: widen it by the ids' density.
  const long double ids = static_cast<long double>(perRange) * highest / rows;
  return std::max(perRange, static_cast<long long>(ids));
}

long long CheckPlan::Due(long long checkedAt, long long now, long long cursor, long long rows,
                         long long highest) {
  if (checkedAt <= 0) return 1;
  const long long interval = Next(cursor, rows, highest).interval.count();
  const long long ids = RangeIds(rows, highest);
  const long long ranges = std::max(1LL, (std::max(highest, 1LL) + ids - 1) / ids);
  const long long elapsed = std::clamp(now - checkedAt, 0LL, static_cast<long long>(kPass.count()));
  return std::min(elapsed / interval, ranges);
}

CheckStep CheckPlan::Next(long long cursor, long long rows, long long highest) {
  const long long ids = RangeIds(rows, highest);
  CheckStep step;
  const long long start = std::max(cursor, 1LL);
  step.firstId = cursor <= 0 ? INT32_MIN : cursor;
  step.lastId = start + ids - 1;
  if (step.lastId >= highest) {
    step.lastId = std::max(highest, start);
    step.last = true;
  }
  step.nextCursor = step.last ? 0 : step.lastId + 1;
  const long long ranges = std::max(1LL, (std::max(highest, 1LL) + ids - 1) / ids);
  step.interval = std::max<std::chrono::seconds>(std::chrono::seconds(1), kPass / ranges);
  return step;
}
