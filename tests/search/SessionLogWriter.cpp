// Writes one small log block to argv[1] and prints what the log reported, after the failure line
// the search would write; the session log tests run it as an unprivileged user, since root
// writes through any file mode.
#include <cstdio>

#include "platform/Diagnostics.h"
#include "search/SessionLog.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  SessionLog log;
  SessionLogHeader header;
  header.mask = "x";
  header.limit = 1;
  const bool opened = log.LogSearchHeader(argv[1], header);
  log.LogResultRow("010198", "dir");
  log.LogSearchSummary("1 of 1 items retrieved (1 total)");
  if (!log.WritesSucceeded()) ReportFailure(log.FailureLine());
  std::printf("opened=%d ok=%d\n", opened ? 1 : 0, log.WritesSucceeded() ? 1 : 0);
  return 0;
}
