// kestrel-dupe with the local copy: --sync builds it, a check then catches it up and answers from
// it as the servers would, --local answers with both servers down, --server never reads it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/DupeCommand.h"
#include "db/DupesConnection.h"
#include "index/IndexPaths.h"
#include "tests/index/TestCollation.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDbServer.h"

namespace {

struct Answer {
  int status = -1;
  std::string out, err;
};

Answer Dupe(const std::vector<std::string>& args, const DupesEndpoints& ends) {
  char *out = nullptr, *err = nullptr;
  size_t outSize = 0, errSize = 0;
  std::FILE* in = std::tmpfile();
  std::FILE* outFile = open_memstream(&out, &outSize);
  std::FILE* errFile = open_memstream(&err, &errSize);
  Answer answer;
  answer.status = RunKestrelDupe(args, ends, "9.9", {in, outFile, errFile}, TestCollationSource());
  for (std::FILE* file : {in, outFile, errFile}) std::fclose(file);
  answer.out.assign(out, outSize);
  answer.err.assign(err, errSize);
  std::free(out);
  std::free(err);
  return answer;
}

class LocalDupeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitDupesLibrary(); }
  void SetUp() override {
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    server.AddDupes(
        {{"1998-02-05", "020598", "Some.Release-GRP"}, {"1997-03-01", "030197", "Plain.Tools-ABC"}});
    server.AddGeneratedDupes(3000, "Bulk");
  }
  std::string CopyPath() const { return IndexFilePath(IndexFolder(), server.address()); }

  TempDir cache;
  TestDbServer server;
  LoopbackAddress down;
  DupesEndpoints ends = TestEndpoints(server.address(), down.address());
};

TEST_F(LocalDupeTest, SyncThenAnswersFromTheCopyEvenWithBothServersDown) {
  const std::vector<std::vector<std::string>> checks = {
      {"-a", "bulk", "12"},
      {"-o", "first", "release"},
      {"-c", "--json", "grp"},
      {"--json", "-n", "3", "020598"},
      {"-b", "01/01/1998", "12/31/1998", "-n", "7", "bulk"},
      {"nothing.at.all"},
      {"--exact", "BULK.12-grp", "some.release-grp", "Bulk.1"},
      {"--exact", "-c", "bulk.7-GRP"}};
  std::vector<Answer> fromServer;
  for (const auto& args : checks) {
    std::vector<std::string> withServer = args;
    withServer.insert(withServer.begin(), "--server");
    fromServer.push_back(Dupe(withServer, ends));
  }
  const Answer sync = Dupe({"--sync", "-v"}, ends);
  EXPECT_EQ(sync.status, 0) << sync.err;
  EXPECT_NE(sync.err.find("3002 entries"), std::string::npos) << sync.err;
  ASSERT_EQ(::access(CopyPath().c_str(), R_OK), 0);

  // Caught up before it answers: the row added since the build is found.
  server.AddDupes({{"1999-09-09", "090999", "Bulk.Fresh-GRP"}});
  const Answer fresh = Dupe({"-v", "fresh"}, ends);
  EXPECT_EQ(fresh.out, "090999 Bulk.Fresh-GRP\n");
  EXPECT_NE(fresh.err.find("Updating the local copy"), std::string::npos) << fresh.err;
  EXPECT_EQ(Dupe({"--server", "fresh"}, ends).out, fresh.out);
  const Answer exact = Dupe({"-v", "--exact", "bulk.fresh-grp"}, ends);
  EXPECT_EQ(exact.out, fresh.out);
  EXPECT_NE(exact.err.find("Updating the local copy"), std::string::npos) << exact.err;
  server.Execute("DELETE FROM DUPES WHERE DUPES_DIR = 'Bulk.Fresh-GRP'");

  // A mask the copy cannot reproduce goes to the server.
  EXPECT_EQ(Dupe({"Plain|Some"}, ends).out, "020598 Some.Release-GRP\n030197 Plain.Tools-ABC\n");

  server.Kill();
  for (size_t i = 0; i < checks.size(); ++i) {
    std::vector<std::string> local = checks[i];
    local.insert(local.begin(), "--local");
    const Answer answer = Dupe(local, ends);
    const std::string what = local[1] + " " + local.back();
    EXPECT_EQ(answer.status, fromServer[i].status) << what << answer.err;
    if (checks[i][0] == "-c") {
      // The copy still holds the row the server has since deleted: one more in the total.
      EXPECT_EQ(answer.out, "{\"count\":3002,\"total\":3003}\n") << fromServer[i].out;
    } else {
      EXPECT_EQ(answer.out, fromServer[i].out) << what;
    }
  }
}

TEST_F(LocalDupeTest, WithoutAUsableCopyLocalFailsInOneLine) {
  const Answer none = Dupe({"--local", "grp"}, ends);
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err.rfind("kestrel-dupe: no usable local copy: ", 0), 0u) << none.err;
  EXPECT_EQ(none.err.find('\n'), none.err.size() - 1);

  ASSERT_EQ(Dupe({"--sync"}, ends).status, 0);
  WriteWholeFile(CopyPath(), std::string(5000, 'x'));
  const Answer broken = Dupe({"--local", "grp"}, ends);
  EXPECT_EQ(broken.status, 2);
  EXPECT_EQ(broken.out, "");
  // A check with the server answers from the statements and leaves the build to --sync.
  const Answer checked = Dupe({"-v", "-c", "grp"}, ends);
  EXPECT_EQ(checked.out, "3001\n");
  EXPECT_NE(checked.err.find("Local copy not used: "), std::string::npos) << checked.err;
  ASSERT_EQ(Dupe({"--sync"}, ends).status, 0);
  server.Kill();
  const Answer local = Dupe({"--local", "-c", "grp"}, ends);
  EXPECT_EQ(local.out, "3001\n") << local.err;
}

// A copy kept fresh by --sync alone loses what the server deleted once its check is due.
TEST_F(LocalDupeTest, SyncRunsTheChecksThatAreDue) {
  const Answer built = Dupe({"--sync", "-v"}, ends);
  EXPECT_NE(built.err.find("3002 entries; 1 ranges checked, 0 mended"), std::string::npos) << built.err;
  server.Execute("DELETE FROM DUPES WHERE DUPES_DIR = 'Some.Release-GRP'");
  const Answer early = Dupe({"--sync", "-v"}, ends);
  EXPECT_NE(early.err.find("; 0 ranges checked"), std::string::npos) << early.err;
  EXPECT_EQ(Dupe({"--local", "some.release"}, ends).status, 0);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(CopyPath().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(
      sqlite3_exec(db, "UPDATE meta SET value = '1' WHERE key = 'checked_at'", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  const Answer due = Dupe({"--sync", "-v"}, ends);
  EXPECT_NE(due.err.find("3001 entries; 1 ranges checked, 1 mended"), std::string::npos) << due.err;
  EXPECT_EQ(Dupe({"--local", "some.release"}, ends).status, 1);
}

}  // namespace
