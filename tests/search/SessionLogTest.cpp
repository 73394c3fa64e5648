#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "search/SessionLog.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnprivilegedProgram.h"

namespace {

const char kBlock[] =
    "-------------------------------------\r\n"
    "Log Open\r\n"
    "Search Mask: a*b|c\r\n"
    "Items to Return: 57\r\n"
    "Order: Last to First\r\n"
    "  010198 Some.Release-GRP\r\n"
    "  123197 \r\n"
    "2 of 57 items retrieved (1000 total)\r\n";

// A header with "Between:" ticked.
SessionLogHeader RangedHeader(std::string mask, std::string startDate, std::string endDate, int limit,
                              int order) {
  SessionLogHeader header;
  header.mask = std::move(mask);
  header.useBetween = true;
  header.startDate = std::move(startDate);
  header.endDate = std::move(endDate);
  header.limit = limit;
  header.order = order;
  return header;
}

void WriteBlock(SessionLog& log, const std::string& path) {
  SessionLogHeader header;
  header.mask = "a*b|c";
  header.limit = 57;
  header.order = 1;
  ASSERT_TRUE(log.LogSearchHeader(path, header));
  log.LogResultRow("010198", "Some.Release-GRP");
  log.LogResultRow("123197", "");
  log.LogSearchSummary("2 of 57 items retrieved (1000 total)");
}

}  // namespace

TEST(SessionLog, BlocksAreAppendedByteForByteAndFollowEachOther) {
  TempDir dir;
  const std::string path = dir.file("kestrel.log");
  SessionLog log;
  WriteBlock(log, path);
  EXPECT_FALSE(log.IsOpen());
  EXPECT_TRUE(log.WritesSucceeded());
  EXPECT_EQ(ReadWholeFile(path), kBlock);

  // The second block starts right after the first summary; Between only when ticked.
  ASSERT_TRUE(
      log.LogSearchHeader(path, RangedHeader("  Mixed & Case ", "01/01/1998", "12/31/1998", 2000, 0)));
  log.LogSearchSummary("0 of 0 items retrieved (5 total)");
  EXPECT_EQ(ReadWholeFile(path), std::string(kBlock) +
                                     "-------------------------------------\r\n"
                                     "Log Open\r\n"
                                     "Search Mask:   Mixed & Case \r\n"
                                     "Between Dates: 01/01/1998 and 12/31/1998\r\n"
                                     "Items to Return: 2000\r\n"
                                     "Order: First to Last\r\n"
                                     "0 of 0 items retrieved (5 total)\r\n");
}

TEST(SessionLog, TheHeadersLinesEscapeControlCharactersAsTheRowsDo) {
  TempDir dir;
  const std::string path = dir.file("escaped.log");
  SessionLog log;
  ASSERT_TRUE(
      log.LogSearchHeader(path, RangedHeader("C:\\x|Golden.Legacy\n", "01/01/1998\r", "12/31/1998", 20, 1)));
  log.LogSearchSummary("0 of 0 items retrieved (2 total)");
  EXPECT_EQ(ReadWholeFile(path),
            "-------------------------------------\r\n"
            "Log Open\r\n"
            "Search Mask: C:\\\\x|Golden.Legacy\\x0a\r\n"
            "Between Dates: 01/01/1998\\x0d and 12/31/1998\r\n"
            "Items to Return: 20\r\n"
            "Order: Last to First\r\n"
            "0 of 0 items retrieved (2 total)\r\n");
}

TEST(SessionLog, AnExistingFileIsNeverTruncated) {
  TempDir dir;
  const std::string path = dir.file("old.log");
  WriteWholeFile(path, "earlier session\r\n");
  SessionLog log;
  WriteBlock(log, path);
  EXPECT_EQ(ReadWholeFile(path), std::string("earlier session\r\n") + kBlock);
  // Lines after the summary, or without a header, go nowhere.
  log.LogResultRow("x", "y");
  log.LogSearchSummary("z");
  EXPECT_EQ(ReadWholeFile(path), std::string("earlier session\r\n") + kBlock);
}

TEST(SessionLog, AFileLockedByAnotherProcessIsLeftAlone) {
  TempDir dir;
  const std::string path = dir.file("locked.log");
  WriteWholeFile(path, "kept\r\n");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = open(path.c_str(), O_WRONLY);
    char c = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');

  SessionLog log;
  SessionLogHeader header;
  EXPECT_FALSE(log.LogSearchHeader(path, header));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_FALSE(log.WritesSucceeded());
  EXPECT_EQ(log.Path(), path);
  EXPECT_EQ(log.FailureLine(),
            "session log " + path + ": lock failed: Resource temporarily unavailable (errno 11)");
  log.LogResultRow("010198", "dir");
  log.LogSearchSummary("summary");
  EXPECT_EQ(ReadWholeFile(path), "kept\r\n");

  // While this process holds it, a second writer is refused as well.
  (void)!write(release[1], "x", 1);
  waitpid(child, nullptr, 0);
  ASSERT_TRUE(log.LogSearchHeader(path, header));
  EXPECT_TRUE(log.WritesSucceeded());
  SessionLog second;
  EXPECT_FALSE(second.LogSearchHeader(path, header));
  log.Close();
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

TEST(SessionLog, UnwritableFileOrMissingFolderFailsAndReportsIt) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const UnprivilegedProgram writer(SESSION_LOG_WRITER);
  const std::string readOnly = dir.file("readonly.log");
  WriteWholeFile(readOnly, "root's\r\n");
  ASSERT_EQ(chmod(readOnly.c_str(), 0644), 0);

  // Each failure: its line on standard error, with the path and the system's error, then the outcome.
  auto failed = [](const std::string& path, const std::string& error) {
    return "kestrel: session log " + path + ": open failed: " + error + "\nopened=0 ok=0\n";
  };
  EXPECT_EQ(writer.Run({readOnly}), failed(readOnly, "Permission denied (errno 13)"));
  EXPECT_EQ(ReadWholeFile(readOnly), "root's\r\n");
  EXPECT_EQ(writer.Run({dir.file("missing/kestrel.log")}),
            failed(dir.file("missing/kestrel.log"), "No such file or directory (errno 2)"));
  // A folder the user may not write: the file cannot be created there.
  EXPECT_EQ(writer.Run({dir.file("new.log")}), failed(dir.file("new.log"), "Permission denied (errno 13)"));
  EXPECT_NE(access(dir.file("new.log").c_str(), F_OK), 0);

  // The same helper succeeds where it may write, so the failures above are the modes'.
  const std::string open = dir.file("open");
  ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);
  EXPECT_EQ(writer.Run({open + "/kestrel.log"}), "opened=1 ok=1\n");
  EXPECT_EQ(SessionLog::FailureText("/x/k.log"), "Cannot write to log file /x/k.log");
}

TEST(SessionLog, AFailedWriteEndsTheBlock) {
  SessionLog log;
  SessionLogHeader header;
  EXPECT_FALSE(log.LogSearchHeader("/dev/full", header));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_FALSE(log.WritesSucceeded());
  EXPECT_EQ(log.FailureLine(), "session log /dev/full: write failed: No space left on device (errno 28)");
  EXPECT_FALSE(log.LogSearchHeader("", header));

  // A row that no longer fits (file size limit): no later row and no summary follow it.
  TempDir dir;
  const std::string path = dir.file("limited.log");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const std::string headerText = SessionLog::FormatHeader(header);
    rlimit limit{headerText.size() + 10, headerText.size() + 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    SessionLog limited;
    bool opened = limited.LogSearchHeader(path, header);
    limited.LogResultRow("010198", "first");  // 18 bytes: cut after 10
    bool failedAtRow = !limited.WritesSucceeded() && !limited.IsOpen();
    limited.LogResultRow("020198", "second");
    limited.LogSearchSummary("summary");
    _exit(opened && failedAtRow ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadWholeFile(path), SessionLog::FormatHeader(header) + "  010198 f");
}
