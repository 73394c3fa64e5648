// The search with "Keep Local &Index" on, against real servers: from an up-to-date copy it shows
// what the statements show, step for step; rows added on the server are found at once; with both
// servers down the copy is offered and its answer says how old it is; off, the copy is not touched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "db/DupesConnection.h"
#include "index/CopyCollation.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "platform/MessageBox.h"
#include "res/Texts.h"
#include "search/IndexCheckWorker.h"
#include "search/SearchWorker.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/RecordingSearchPort.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/TempDir.h"

namespace {

using Texts = std::vector<std::string>;

class Quiet : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return IDOK; }
};

SearchRequest Request(const std::string& mask, int limit = 20, int order = 1, bool all = false) {
  SearchRequest r;
  r.m_strMask = mask;
  r.m_nLimit = limit;
  r.m_nOrder = order;
  r.m_bGetAll = all;
  return r;
}

// Whether a row event shows this date string and name.
bool ShowsRow(const Texts& events, const std::string& row) {
  return std::any_of(events.begin(), events.end(), [&](const std::string& e) {
    return e.rfind("row:", 0) == 0 && e.size() > row.size() &&
           e.compare(e.size() - row.size(), row.size(), row) == 0;
  });
}

// Each case loads its own rows; the one that kills its server has one of its own.
SharedDbServer scratch("scratch");

class LocalSearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitDupesLibrary(); }
  void SetUp() override { ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1); }

  // The copy of server, built as the background build builds it.
  void BuildCopy(const TestDbServer& server) {
    Quiet quiet;
    DupesConnection connection(TestEndpoints(server.address(), server.address()), "ZEBRANO", "ZEBRANO");
    ASSERT_TRUE(connection.Open(quiet));
    std::string why, key;
    ASSERT_TRUE(MakeIndexFolder(IndexFolder(), why)) << why;
    auto copy = LocalIndex::Open(CopyPath(server.address()), server.address(), why);
    ASSERT_TRUE(copy) << why;
    const CopyCollationSource source = DefaultCopyCollationSource();
    ASSERT_TRUE(source.probe(connection, key, why)) << why;
    ASSERT_EQ(copy->CatchUp(connection, key, source.load(key)->fold, why), LocalIndex::Result::Done) << why;
  }
  static std::string CopyPath(const std::string& address) { return IndexFilePath(IndexFolder(), address); }

  // Every event of one search; answers script the question boxes.
  Texts Search(const DupesEndpoints& endpoints, const SearchRequest& request, bool keepLocalIndex,
               std::deque<int> answers = {}) {
    auto port = std::make_shared<RecordingSearchPort>();
    port->SetInputs(request);
    port->ScriptAnswers(std::move(answers));
    SearchWorkerContext context;
    context.link = port;
    context.form = port.get();
    context.endpoints = endpoints;
    context.loginId = context.password = "ZEBRANO";
    context.keepLocalIndex = keepLocalIndex;
    SearchThreadProc(context);
    return port->Events();
  }

  TempDir cache;
};

TEST_F(LocalSearchTest, TheCopyShowsWhatTheStatementsShowAndFindsNewRowsAtOnce) {
  TestDbServer& server = scratch.Fresh();
  server.AddDupes(
      {{"1998-02-05", "020598", "Some.Release-GRP"}, {"1998-02-06", "020698", "Café.Straße-GRP"}});
  server.AddGeneratedDupes(3000, "Local");
  BuildCopy(server);
  const DupesEndpoints both = TestEndpoints(server.address(), server.address());
  for (const char* mask : {"local.1", "local.2 | 020598", "release 020598", "café STRASSE", "*",
                           "(release | x", "nothing.here"}) {
    for (int order : {0, 1}) {
      const SearchRequest request = Request(mask, 20, order);
      EXPECT_EQ(Search(both, request, true), Search(both, request, false)) << mask << " " << order;
    }
  }
  // The cap and the question of a large retrieval, answered no and yes.
  EXPECT_EQ(Search(both, Request("local", 20, 1, true), true, {IDNO}),
            Search(both, Request("local", 20, 1, true), false, {IDNO}));
  EXPECT_EQ(Search(both, Request("local", 1500, 0), true), Search(both, Request("local", 1500, 0), false));

  server.AddDupes({{"2001-01-01", "010101", "Fresh.Local.Row-NEW"}});
  EXPECT_TRUE(ShowsRow(Search(both, Request("fresh.local"), true), " 010101 Fresh.Local.Row-NEW"));
  std::string why;
  EXPECT_EQ(LocalIndex::OpenExisting(CopyPath(server.address()), server.address(), why)->Rows(), 3003) << why;

  // The answer is the copy's: a rename on the server waits for the copy's hourly check.
  server.Execute("UPDATE DUPES SET DUPES_DIR = 'Renamed-GRP' WHERE DUPES_DIR = 'Some.Release-GRP'");
  EXPECT_TRUE(ShowsRow(Search(both, Request("some.release"), true), " 020598 Some.Release-GRP"));
}

TEST_F(LocalSearchTest, BothServersDownTheCopyIsOfferedAndSaysHowOldItIs) {
  TestDbServer server;
  LoopbackAddress refused;
  server.AddDupes(
      {{"1998-02-05", "020598", "Some.Release-GRP"}, {"1998-02-06", "020698", "Other.Release-GRP"}});
  BuildCopy(server);
  const DupesEndpoints ends = TestEndpoints(server.address(), refused.address());
  const Texts online = Search(ends, Request("release"), false);
  server.Kill();

  const std::string neither =
      "message:Kestrel Error|" + FlagsHex(MB_OK | MB_ICONEXCLAMATION) + "|" + kTextNeitherAvailable;
  const std::string question = "message:Kestrel|" + FlagsHex(MB_YESNO | MB_ICONQUESTION) + "|";
  const std::string summary = "message:Dupe Successful|" + FlagsHex(MB_OK | MB_ICONINFORMATION) + "|";
  auto messages = [](const Texts& events) {
    Texts out;
    for (const std::string& e : events)
      if (e.rfind("message:", 0) == 0) out.push_back(e);
    return out;
  };
  auto rows = [](const Texts& events) {
    Texts out;
    for (const std::string& e : events)
      if (e.rfind("row:", 0) == 0) out.push_back(e);
    return out;
  };

  const Texts declined = messages(Search(ends, Request("release"), true, {IDNO}));
  ASSERT_EQ(declined.size(), 2u);
  EXPECT_EQ(declined[0].substr(0, neither.size()), neither);
  const std::string asked = question + "Answer from the local index instead?";
  EXPECT_EQ(declined[1].substr(0, asked.size()), asked);

  const Texts taken = Search(ends, Request("release"), true, {IDYES});
  EXPECT_EQ(rows(taken), rows(online));
  const Texts said = messages(taken);
  ASSERT_EQ(said.size(), 3u);
  const std::string when = said[1].substr(said[1].rfind("on ") + 3, 16);
  EXPECT_EQ(said[2], summary + "2 of 2 items retrieved (2 total) from the local index of " + when);

  // Off, no question: the defined failure alone.
  EXPECT_EQ(messages(Search(ends, Request("release"), false)).size(), 1u);
}

TEST_F(LocalSearchTest, OffTheCopyIsNeitherReadNorWrittenAndASearchNeverMakesOne) {
  TestDbServer& server = scratch.Fresh();
  server.AddGeneratedDupes(50, "Untouched");
  const DupesEndpoints both = TestEndpoints(server.address(), server.address());
  Search(both, Request("untouched"), true);
  struct stat info {};
  EXPECT_NE(::stat(CopyPath(server.address()).c_str(), &info), 0) << "the search made a copy";

  BuildCopy(server);
  server.AddGeneratedDupes(5, "Later");
  Search(both, Request("later"), false);
  std::string why;
  EXPECT_EQ(LocalIndex::OpenExisting(CopyPath(server.address()), server.address(), why)->Rows(), 50) << why;
}

// The background check mends the copy: rows deleted and renamed on the server are gone from its
// answers after a pass; Stop ends its wait for the next range at once.
TEST_F(LocalSearchTest, TheBackgroundCheckMendsWhatTheServerDeletedOrRenamed) {
  TestDbServer& server = scratch.Fresh();
  server.AddGeneratedDupes(3000, "Checked");
  BuildCopy(server);
  server.Execute("DELETE FROM DUPES WHERE DUPES_ID % 7 = 0");
  server.Execute("UPDATE DUPES SET DUPES_DIR = 'Renamed.Checked-GRP' WHERE DUPES_ID = 10");
  const DupesEndpoints both = TestEndpoints(server.address(), server.address());
  const Texts before = Search(both, Request("checked", 2000, 0), true);
  EXPECT_NE(before, Search(both, Request("checked", 2000, 0), false));

  std::mutex mutex;
  std::condition_variable changed;
  bool mended = false;
  IndexCheckContext context;
  context.endpoints = both;
  context.loginId = context.password = "ZEBRANO";
  context.folder = IndexFolder();
  context.pace = [](std::chrono::seconds) { return std::chrono::milliseconds(0); };
  context.checked = [&](const RangeCheck& report) {
    std::lock_guard<std::mutex> lock(mutex);
    mended = mended || report.mended;
    changed.notify_all();
  };
  auto run = StartIndexCheck(context);
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return mended; });
  }
  run->Stop();
  ASSERT_TRUE(run->WaitFinished(60000));
  EXPECT_EQ(Search(both, Request("checked", 2000, 0), true),
            Search(both, Request("checked", 2000, 0), false));

  context.pace = nullptr;  // an hour's wait for the only range of this copy
  run = StartIndexCheck(context);
  run->Stop();
  EXPECT_TRUE(run->WaitFinished(60000));
}

}  // namespace
