// The local copy against a real server: what a search answers from it equals what the search
// statements answer; it catches up, goes on after an interrupted build, and never trusts a file
// that is broken, half written or another server's.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "db/Statements.h"
#include "index/CheckPlan.h"
#include "index/CopyCollation.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "tests/index/TestCollation.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/TempDir.h"

namespace {

const std::vector<DupeSample> kRows = {
    {"1998-02-05", "020598", "Some.Release-GRP"}, {"1998-02-05", "020598", "Other.RELEASE-grp"},
    {"1997-03-01", "030197", "Plain.Tools-ABC"},  {"2000-01-01", "010100", "Same.Day-GRP"},
    {"2000-01-01", "010100", "Same.Day.Two-GRP"}, {"1996-05-05", "050596", "Old.Release-XYZ"}};

class Quiet : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return 0; }
};

struct Connected {
  Quiet quiet;
  DupesConnection connection;
  explicit Connected(const TestDbServer& server)
      : connection(TestEndpoints(server.address(), server.address()), "ZEBRANO", "ZEBRANO") {
    EXPECT_TRUE(connection.Open(quiet));
  }
};

LocalIndex::Result CatchUp(LocalIndex& copy, DupesConnection& connection, int batch = 50000,
                           const std::function<bool()>& stop = {}) {
  std::string why;
  const auto result = copy.CatchUp(connection, "test-ascii-ci", TestFold, why, batch, stop);
  EXPECT_NE(result, LocalIndex::Result::Failed) << why;
  return result;
}

std::string Line(const LocalEntry& e) {
  return e.id + " " + e.date + " " + e.dateStr + " " + e.dir;
}

// The statements' answer: count, rows and total as the search sends them.
LocalAnswer ServerAnswer(DupesConnection& connection, const LocalQuery& q, const std::string& mask) {
  LocalAnswer answer;
  std::string text;
  EXPECT_TRUE(
      connection.QueryCount(BuildDupesQuery(mask, q.startBound, q.endBound, q.limit, q.order, true), text));
  answer.count = std::stoll(text);
  EXPECT_TRUE(connection.QueryCount(kTotalCountQuery, text));
  answer.total = std::stoll(text);
  EXPECT_TRUE(connection.Query(BuildDupesQuery(mask, q.startBound, q.endBound, q.limit, q.order, false)));
  while (connection.FetchRow())
    answer.rows.push_back(
        {connection.FieldText(0), connection.FieldText(1), connection.FieldText(2), connection.FieldText(3)});
  connection.ReleaseResult();
  return answer;
}

// The collation the programs use, probed from the server.
CopyCollation Probed(DupesConnection& connection, std::string& key) {
  const CopyCollationSource source = DefaultCopyCollationSource();
  std::string why;
  EXPECT_TRUE(source.probe(connection, key, why)) << why;
  return *source.load(key);
}

void ExpectSameAnswer(LocalIndex& copy, DupesConnection& connection, const CopyCollation& collation,
                      const std::string& mask, const std::string& from = "", const std::string& to = "",
                      int limit = 20, int order = 1) {
  LocalQuery query;
  const std::optional<LocalMatcher> matcher = collation.compile(mask);
  ASSERT_TRUE(matcher) << mask;
  query.matcher = *matcher;
  query.startBound = from;
  query.endBound = to;
  query.limit = limit;
  query.order = order;
  const LocalAnswer server = ServerAnswer(connection, query, mask);
  LocalAnswer local;
  std::string why;
  ASSERT_EQ(copy.Search(query, local, why), LocalIndex::Result::Done) << why;
  const std::string what =
      mask + " [" + from + "," + to + "] limit " + std::to_string(limit) + " order " + std::to_string(order);
  EXPECT_EQ(local.count, server.count) << what;
  EXPECT_EQ(local.total, server.total) << what;
  ASSERT_EQ(local.rows.size(), server.rows.size()) << what;
  for (size_t i = 0; i < server.rows.size(); ++i)
    EXPECT_EQ(Line(local.rows[i]), Line(server.rows[i])) << what;
}

// With the stand-in collation the copy was caught up with.
void ExpectSameAnswer(LocalIndex& copy, DupesConnection& connection, const std::string& mask,
                      const std::string& from = "", const std::string& to = "", int limit = 20,
                      int order = 1) {
  ExpectSameAnswer(copy, connection, CopyCollation{TestFold, TestMatcher, {}}, mask, from, to, limit, order);
}

// Each case loads its own rows; the second server is for a table of another character set.
SharedDbServer scratch("scratch");
SharedDbServer scratchUnicode("scratchUnicode");

class LocalIndexTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitDupesLibrary(); }
  std::unique_ptr<LocalIndex> OpenCopy(const std::string& address) {
    std::string why;
    auto copy = LocalIndex::Open(path, address, why);
    EXPECT_TRUE(copy) << why;
    return copy;
  }
  TempDir dir;
  std::string path = dir.file("copy.sqlite");
};

// Several blocks and many rows of one day: the ties are ordered by id as the server orders them.
// Entries found by their date string alone are found whatever their names.
TEST_F(LocalIndexTest, SearchesAnswerAsTheStatements) {
  TestDbServer& server = scratch.Fresh();
  server.AddDupes(kRows);
  server.AddGeneratedDupes(20000, "Bulk");
  Connected db(server);
  std::string key, why;
  const CopyCollation collation = Probed(db.connection, key);
  auto copy = OpenCopy(server.address());
  EXPECT_FALSE(copy->IsReady());
  EXPECT_EQ(copy->CatchUp(db.connection, key, collation.fold, why, 7000), LocalIndex::Result::Done) << why;
  ASSERT_TRUE(copy->IsReady());
  for (const char* mask : {"release", "grp", "bulk 7", "BULK 12 grp", "020598", "same day", "nothing.here",
                           "0101*", "(release | 030197) -grp", "bulk.1_0 | 0_0100", "01%", "*"}) {
    for (int order : {0, 1}) {
      ExpectSameAnswer(*copy, db.connection, collation, mask, "", "", 20, order);
      ExpectSameAnswer(*copy, db.connection, collation, mask, "", "", 2000, order);
      ExpectSameAnswer(*copy, db.connection, collation, mask, "1998-01/01", "1998-12/31", 50, order);
    }
  }
  ExpectSameAnswer(*copy, db.connection, collation, "grp", "2000-01/01", "1999-01/01");  // an empty range
  ExpectSameAnswer(*copy, db.connection, collation, "grp", "", "", 0);

  // What the server's conversions decide is not guessed at.
  LocalQuery odd;
  odd.matcher = *TestMatcher("grp");
  odd.startBound = "1998-02/31";
  odd.endBound = "1998-12/31";
  LocalAnswer answer;
  EXPECT_EQ(copy->Search(odd, answer, why), LocalIndex::Result::Fallback);
  odd.startBound = "";
  odd.limit = -1;
  EXPECT_EQ(copy->Search(odd, answer, why), LocalIndex::Result::Fallback);
}

TEST_F(LocalIndexTest, CatchUpFetchesWhatWasAddedAndKeepsIt) {
  TestDbServer& server = scratch.Fresh();
  server.AddDupes(kRows);
  Connected db(server);
  {
    auto copy = OpenCopy(server.address());
    CatchUp(*copy, db.connection);
  }
  server.AddDupes({{"2001-03-03", "030301", "Fresh.Release-NEW"}, {"1990-01-01", "010190", "Late.Old-NEW"}});
  auto copy = OpenCopy(server.address());
  EXPECT_EQ(copy->Rows(), static_cast<long long>(kRows.size()));
  EXPECT_EQ(CatchUp(*copy, db.connection), LocalIndex::Result::Done);
  EXPECT_EQ(copy->Rows(), static_cast<long long>(kRows.size()) + 2);
  ExpectSameAnswer(*copy, db.connection, "new", "", "", 20, 0);
  ExpectSameAnswer(*copy, db.connection, "release");
  // Nothing new: nothing changes.
  EXPECT_EQ(CatchUp(*copy, db.connection), LocalIndex::Result::Done);
  EXPECT_EQ(copy->Rows(), static_cast<long long>(kRows.size()) + 2);
  // A name the collation cannot fold: the statements answer, and the copy keeps what it had
  // (not the good row of the same batch either).
  server.AddDupes({{"2001-03-04", "030401", "Plain-GRP"}, {"2001-03-04", "030401", "Caf\xC3\xA9-GRP"}});
  std::string why;
  EXPECT_EQ(copy->CatchUp(db.connection, "test-ascii-ci", TestFold, why), LocalIndex::Result::Fallback);
  EXPECT_EQ(copy->Rows(), static_cast<long long>(kRows.size()) + 2);
}

// A build stopped between batches (as a quit does) goes on where it stopped.
TEST_F(LocalIndexTest, InterruptedBuildGoesOn) {
  TestDbServer& server = scratch.Fresh();
  server.AddGeneratedDupes(5000, "Bulk");
  Connected db(server);
  long long highest = 0;
  {
    auto copy = OpenCopy(server.address());
    int batches = 0;
    std::string stopped;
    EXPECT_EQ(copy->CatchUp(db.connection, "test-ascii-ci", TestFold, stopped, 1000,
                            [&] { return batches++ == 2; }),
              LocalIndex::Result::Failed);
    EXPECT_EQ(copy->Rows(), 2000);
    EXPECT_FALSE(copy->IsReady());
    LocalQuery query;
    query.matcher = *TestMatcher("bulk");
    LocalAnswer answer;
    std::string why;
    EXPECT_EQ(copy->Search(query, answer, why), LocalIndex::Result::Fallback);
    highest = copy->HighestId();
  }
  std::string why;
  EXPECT_FALSE(LocalIndex::OpenExisting(path, server.address(), why));
  auto copy = OpenCopy(server.address());
  EXPECT_EQ(copy->HighestId(), highest);
  EXPECT_EQ(CatchUp(*copy, db.connection, 1000), LocalIndex::Result::Done);
  EXPECT_EQ(copy->Rows(), 5000);
  ExpectSameAnswer(*copy, db.connection, "bulk 99", "", "", 2000);
}

void Tamper(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// Whatever is wrong with the file, the copy starts afresh and then answers as the server does;
// a copy answers for its own server only.
TEST_F(LocalIndexTest, UntrustedFilesAreRebuilt) {
  TestDbServer& server = scratch.Fresh();
  server.AddDupes(kRows);
  server.AddGeneratedDupes(30000, "Bulk");
  Connected db(server);
  auto build = [&] {
    auto copy = OpenCopy(server.address());
    CatchUp(*copy, db.connection);
    return copy->Rows();
  };
  const long long rows = build();
  auto expectRebuilt = [&](const std::string& what, const std::string& address) {
    std::string why;
    EXPECT_FALSE(LocalIndex::OpenExisting(path, address, why)) << what;
    auto copy = OpenCopy(address);
    ASSERT_TRUE(copy) << what;
    EXPECT_EQ(copy->Rows(), 0) << what;
    EXPECT_FALSE(copy->IsReady()) << what;
    EXPECT_EQ(CatchUp(*copy, db.connection), LocalIndex::Result::Done) << what;
    EXPECT_EQ(copy->Rows(), rows) << what;
    ExpectSameAnswer(*copy, db.connection, "bulk 77 grp");
  };

  std::string why;
  EXPECT_TRUE(LocalIndex::OpenExisting(path, server.address(), why)) << why;
  expectRebuilt("another server's copy", "192.0.2.1");
  expectRebuilt("and back", server.address());

  ASSERT_EQ(::truncate(path.c_str(), 200000), 0);
  expectRebuilt("truncated", server.address());

  WriteWholeFile(path, std::string(100000, 'x'));
  expectRebuilt("not a database", server.address());

  Tamper(path, "UPDATE meta SET value = '0' WHERE key = 'schema'");
  expectRebuilt("an older layout", server.address());

  Tamper(path, "DELETE FROM entries WHERE id > 100");
  expectRebuilt("rows and blocks disagree", server.address());
  Tamper(path, "DELETE FROM sketches WHERE first_id = (SELECT max(first_id) FROM sketches)");
  expectRebuilt("the last block without its sketch", server.address());
}

// Every block's bytes, to see that a check of an unchanged range rewrites nothing.
std::string Blocks(const std::string& path) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  std::string all;
  sqlite3_prepare_v2(db, "SELECT first_id, data FROM blocks ORDER BY first_id", -1, &stmt, nullptr);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    all += std::to_string(sqlite3_column_int64(stmt, 0)) + ":";
    all.append(static_cast<const char*>(sqlite3_column_blob(stmt, 1)), size_t(sqlite3_column_bytes(stmt, 1)));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return all;
}

// Checks ranges of ids from the cursor until a pass ends; the number of ranges mended.
int CheckPass(LocalIndex& copy, DupesConnection& connection, const LocalFolder& fold,
              int* statements = nullptr) {
  int mended = 0;
  do {
    RangeCheck report;
    std::string why;
    EXPECT_EQ(copy.CheckNextRange(connection, fold, report, why), LocalIndex::Result::Done) << why;
    mended += report.mended;
    if (statements) *statements += report.statements;
    if (::testing::Test::HasFailure()) break;
  } while (copy.CheckCursor() != 0);
  return mended;
}

// Rows deleted, renamed, redated and put into a gap on the server: after a pass of checks the
// copy answers as the statements again, holds together when reopened, and goes on catching up
// above its highest id even when the rows at the top were the ones deleted.
TEST_F(LocalIndexTest, ChecksFindDeletedAndChangedRows) {
  TestDbServer& server = scratch.Fresh();
  server.AddDupes(kRows);
  server.AddGeneratedDupes(50000, "Bulk");
  Connected db(server);
  std::string key, why;
  const CopyCollation collation = Probed(db.connection, key);
  auto copy = OpenCopy(server.address());
  ASSERT_EQ(copy->CatchUp(db.connection, key, collation.fold, why, 7000), LocalIndex::Result::Done) << why;
  const std::string before = Blocks(path);
  // Nothing changed: one small statement a range, and not a byte of the blocks rewritten.
  int statements = 0;
  EXPECT_EQ(CheckPass(*copy, db.connection, collation.fold, &statements), 0);
  EXPECT_EQ(statements, 3);  // 50006 ids, ranges of 20000
  EXPECT_EQ(Blocks(path), before);
  // A sketch that is not its block's hides the block from searches: a check mends it.
  Tamper(path,
         "UPDATE sketches SET bits = zeroblob(2048) WHERE first_id = (SELECT min(first_id) FROM sketches)");
  EXPECT_EQ(CheckPass(*copy, db.connection, collation.fold), 1);
  EXPECT_EQ(CheckPass(*copy, db.connection, collation.fold), 0);

  server.Execute("DELETE FROM DUPES WHERE DUPES_ID IN (1, 3) OR DUPES_ID BETWEEN 1000 AND 1200");
  server.Execute("DELETE FROM DUPES WHERE DUPES_ID > 49990");
  server.Execute("UPDATE DUPES SET DUPES_DIR = 'Renamed.Release-NEW' WHERE DUPES_ID = 2");
  server.Execute("UPDATE DUPES SET DUPES_DATE = '2003-03-03' WHERE DUPES_ID = 30001");
  server.Execute("INSERT INTO DUPES VALUES (1100, '2002-02-02', '020202', 'Into.The.Gap-NEW')");
  EXPECT_EQ(CheckPass(*copy, db.connection, collation.fold), 3);
  for (const char* mask : {"release", "new", "grp", "bulk 100", "bulk 4999", "*"})
    for (int order : {0, 1}) ExpectSameAnswer(*copy, db.connection, collation, mask, "", "", 50, order);
  ExpectSameAnswer(*copy, db.connection, collation, "bulk", "2003-01/01", "2003-12/31");
  EXPECT_EQ(copy->HighestId(), 49990);
  EXPECT_EQ(CheckPass(*copy, db.connection, collation.fold), 0);

  copy.reset();
  EXPECT_TRUE(LocalIndex::OpenExisting(path, server.address(), why)) << why;
  copy = OpenCopy(server.address());
  EXPECT_EQ(copy->Rows(), std::stoll(server.QueryValue("SELECT COUNT(*) FROM DUPES")));
  server.AddDupes({{"2004-04-04", "040404", "After.The.Mend-NEW"}});
  ASSERT_EQ(copy->CatchUp(db.connection, key, collation.fold, why), LocalIndex::Result::Done) << why;
  ExpectSameAnswer(*copy, db.connection, collation, "new", "", "", 50, 0);
  ExpectSameAnswer(*copy, db.connection, collation, "*", "", "", 5, 1);
}

// Ranges of any size, a block split by one, every row of the table deleted, and a row the
// collation cannot fold (the copy is then left as it was).
TEST_F(LocalIndexTest, EachRangeIsMendedAlone) {
  TestDbServer& server = scratch.Fresh();
  server.AddDupes(kRows);
  server.AddGeneratedDupes(20000, "Bulk");
  Connected db(server);
  auto copy = OpenCopy(server.address());
  CatchUp(*copy, db.connection, 3000);
  server.Execute("UPDATE DUPES SET DUPES_DIR = CONCAT('Moved.', DUPES_ID, '-NEW') WHERE DUPES_ID % 997 = 0");
  server.Execute("DELETE FROM DUPES WHERE DUPES_ID % 1009 = 0");
  RangeCheck report;
  std::string why;
  long long mended = 0, changed = 0;
  for (long long first = 0; first <= copy->HighestId(); first += 1500) {
    bool any = false;
    for (long long id = std::max(first, 1LL); id < first + 1500; ++id)
      any = any || id % 997 == 0 || id % 1009 == 0;
    changed += any;
  }
  for (long long first = 0; first <= copy->HighestId(); first += 1500) {
    ASSERT_EQ(copy->CheckRange(db.connection, TestFold, first, first + 1499, report, why),
              LocalIndex::Result::Done)
        << why;
    mended += report.mended;
    EXPECT_EQ(report.statements, report.mended ? 2 : 1);
  }
  EXPECT_EQ(mended, changed);
  ExpectSameAnswer(*copy, db.connection, "new", "", "", 100, 0);
  ExpectSameAnswer(*copy, db.connection, "bulk", "", "", 100, 1);
  EXPECT_TRUE(LocalIndex::OpenExisting(path, server.address(), why)) << why;

  server.Execute("UPDATE DUPES SET DUPES_DIR = 'Caf\xC3\xA9-GRP' WHERE DUPES_ID = 5");
  const long long rows = copy->Rows();
  EXPECT_EQ(copy->CheckRange(db.connection, TestFold, 1, 10, report, why), LocalIndex::Result::Fallback);
  EXPECT_EQ(copy->Rows(), rows);

  server.ClearDupes();
  ASSERT_EQ(copy->CheckRange(db.connection, TestFold, INT32_MIN, copy->HighestId(), report, why),
            LocalIndex::Result::Done)
      << why;
  EXPECT_EQ(copy->Rows(), 0);
  EXPECT_EQ(copy->HighestId(), 0);
  ExpectSameAnswer(*copy, db.connection, "bulk");
  EXPECT_TRUE(LocalIndex::OpenExisting(path, server.address(), why)) << why;
}

// The server's digest of a range equals the one the copy computes from the texts it receives,
// for accented names on a latin1 table and for any letter on a utf8mb4 one.
TEST_F(LocalIndexTest, DigestsAgreeWhateverTheTablesCharacterSet) {
  const std::vector<DupeSample> rows = {{"1998-02-05", "020598",
                                         "Caf\xC3\xA9.Stra\xC3\x9F"
                                         "e-GRP"},
                                        {"1998-02-06",
                                         "02\xC3\xA9"
                                         "98",
                                         "\xC3\x80 la Fen\xC3\xAAtre-GRP"},
                                        {"1998-02-07", "020798", "Plain-GRP"}};
  TestDbServer& latin1 = scratch.Fresh();
  TestDbServer& unicode = scratchUnicode.Fresh();
  unicode.Execute("ALTER TABLE DUPES CONVERT TO CHARACTER SET utf8mb4");
  latin1.AddDupes(rows);
  unicode.AddDupes(rows);
  unicode.AddDupes({{"1998-02-08", "020898",
                     "\xC5\x81\xC3\xB3"
                     "d\xC5\xBA.\xF0\x9F\x98\x80-GRP"}});
  for (TestDbServer* server : {&latin1, &unicode}) {
    Connected db(*server);
    ASSERT_TRUE(db.connection.Query(BuildRangeRowsQuery(1, 100)));
    unsigned long long sum = 0;
    uint32_t bits = 0;
    long long count = 0;
    while (db.connection.FetchRow()) {
      const uint32_t digest = RowDigest(db.connection.FieldText(0), db.connection.FieldText(1),
                                        db.connection.FieldText(2), db.connection.FieldText(3));
      sum += digest;
      bits ^= digest;
      ++count;
    }
    db.connection.ReleaseResult();
    ASSERT_TRUE(db.connection.Query(BuildRangeDigestQuery(1, 100)));
    ASSERT_TRUE(db.connection.FetchRow());
    EXPECT_EQ(db.connection.FieldText(0), std::to_string(count));
    EXPECT_EQ(db.connection.FieldText(1), std::to_string(sum));
    EXPECT_EQ(db.connection.FieldText(2), std::to_string(bits));
    db.connection.ReleaseResult();

    // And a copy with the real collation finds nothing to mend.
    std::string key, why;
    const CopyCollation collation = Probed(db.connection, key);
    auto copy = OpenCopy(server->address());
    ASSERT_EQ(copy->CatchUp(db.connection, key, collation.fold, why), LocalIndex::Result::Done) << why;
    RangeCheck report;
    ASSERT_EQ(copy->CheckRange(db.connection, collation.fold, INT32_MIN, copy->HighestId(), report, why),
              LocalIndex::Result::Done)
        << why;
    EXPECT_FALSE(report.mended) << server->address();
    copy.reset();
    ::unlink(path.c_str());
  }
}

// A pass covers every id once, in ranges of rows enough that it takes at most the checks an
// hour allows, and ends within the hour.
TEST(CheckPlanTest, APassCoversEveryIdWithinTheHour) {
  struct Copy {
    long long rows, highest;
  };
  for (const Copy c : {Copy{0, 0}, Copy{6, 6}, Copy{20006, 20006}, Copy{50000, 200000},
                       Copy{10000000, 10000000}, Copy{100000000, 120000000}}) {
    const std::string what = std::to_string(c.rows) + " rows up to " + std::to_string(c.highest);
    long long cursor = 0, expected = INT32_MIN, checks = 0;
    std::chrono::seconds spent{0};
    CheckStep step;
    do {
      step = CheckPlan::Next(cursor, c.rows, c.highest);
      EXPECT_EQ(step.firstId, expected) << what;
      ASSERT_GE(step.lastId, step.firstId) << what;
      expected = step.lastId + 1;
      cursor = step.nextCursor;
      spent += step.interval;
      ++checks;
    } while (!step.last && checks < 100000);
    EXPECT_EQ(step.lastId, std::max(c.highest, 1LL)) << what;
    EXPECT_EQ(cursor, 0) << what;
    EXPECT_LE(spent, CheckPlan::kPass) << what;
    EXPECT_LE(checks, CheckPlan::kMostChecksPerHour + 1) << what;
    EXPECT_GE(spent, CheckPlan::kPass - std::chrono::seconds(checks)) << what;
    // Checks are due as the intervals pass: one at first, a whole pass at most.
    const long long interval = step.interval.count();
    EXPECT_EQ(CheckPlan::Due(0, 5000, 0, c.rows, c.highest), 1) << what;
    EXPECT_EQ(CheckPlan::Due(5000, 5000 + interval - 1, 0, c.rows, c.highest), 0) << what;
    EXPECT_EQ(CheckPlan::Due(5000, 5000 + 2 * interval, 0, c.rows, c.highest), 2 * interval <= 3600 ? 2 : 1)
        << what;
    EXPECT_LE(CheckPlan::Due(1, 1000000000, 0, c.rows, c.highest), checks) << what;
  }
}

TEST(IndexPathsTest, EachAddressHasAFileOfItsOwnInTheFolder) {
  EXPECT_EQ(IndexFilePath("/c", "127.0.0.1"), "/c/dupes-127.0.0.1.sqlite");
  EXPECT_EQ(IndexFilePath("/c", "../a/b"), "/c/dupes-..%2Fa%2Fb.sqlite");
  EXPECT_NE(IndexFilePath("/c", "a/b"), IndexFilePath("/c", "a%2Fb"));
  setenv("XDG_CACHE_HOME", "/x/cache", 1);
  EXPECT_EQ(IndexFolder(), "/x/cache/Harrow/Kestrel");
  setenv("XDG_CACHE_HOME", "relative", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(IndexFolder(), "/home/u/.cache/Harrow/Kestrel");
}

}  // namespace
