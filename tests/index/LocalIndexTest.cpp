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
#include "index/CopyCollation.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "tests/index/TestCollation.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDbServer.h"

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
  ExpectSameAnswer(copy, connection, CopyCollation{TestFold, TestMatcher}, mask, from, to, limit, order);
}

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
  TestDbServer server;
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
  TestDbServer server;
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
  TestDbServer server;
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
  TestDbServer server;
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
