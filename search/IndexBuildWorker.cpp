#include "search/IndexBuildWorker.h"

#include <cstdlib>
#include <utility>

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "db/Statements.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "platform/MessageBox.h"

namespace {

constexpr char kHighestIdQuery[] = "SELECT MAX(DUPES_ID) FROM DUPES";

// The connection steps without a window: the text of the box they would show becomes the reason.
class QuietFeedback : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string& text, const std::string&, unsigned) override {
    m_text = text;
    return IDOK;
  }
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

class BuildRun {
 public:
  explicit BuildRun(const IndexBuildContext& context)
      : m_context(context),
        m_connection(context.endpoints, context.loginId, context.password, context.run.get()) {}

  void Run() {
    if (const auto& before = m_context.after) {
      while (!before->WaitFinished(200))
        if (m_context.Stopped()) return;
    }
    if (m_context.onlyWhenNotReady && ReadyAlready()) return;
    if (!Steps() && !m_context.Stopped()) m_context.Visit([&] { m_context.port->IndexBuildFailed(m_why); });
  }

 private:
  bool Fail(std::string why) {
    m_why = std::move(why);
    return false;
  }

  bool ReadyAlready() {
    if (m_context.folder.empty()) return false;
    for (const std::string& address : {m_context.endpoints.m_strPrimary, m_context.endpoints.m_strBackup}) {
      std::string why;
      auto copy = LocalIndex::OpenExisting(IndexFilePath(m_context.folder, address), address, why);
      if (!copy) continue;
      const long long rows = copy->Rows();
      m_context.Visit([&] { m_context.port->IndexBuildReady(rows); });
      return true;
    }
    return false;
  }

  bool Steps() {
    QuietFeedback quiet;
    if (!m_connection.Open(quiet)) return Fail(quiet.Text());
    // Switched off meanwhile: the copy is not even opened.
    if (m_context.Stopped()) return false;
    if (m_context.folder.empty()) return Fail("no cache folder (neither XDG_CACHE_HOME nor HOME is set)");
    std::string why;
    if (!MakeIndexFolder(m_context.folder, why)) return Fail(why);
    const std::string& address = m_connection.Address();
    auto copy = LocalIndex::Open(IndexFilePath(m_context.folder, address), address, why);
    if (!copy) return Fail(why);
    const CopyCollationSource& collations = m_context.collations;
    if (!collations.Usable()) return Fail("this build cannot reproduce the server's collation");
    std::string key = copy->CollationKey();
    if (!collations.probe(m_connection, key, why)) return Fail(why);
    const auto collation = collations.load(key);
    if (!collation) return Fail("the server's collation does not load");
    if (!ServerSize()) return Fail(m_connection.LastError());
    if (m_context.Stopped()) return false;

    // Between batches: how far it got, then whether to go on.
    auto between = [&] {
      m_progress.rows = copy->Rows();
      m_progress.highestId = copy->HighestId();
      m_context.Visit([&] { m_context.port->IndexBuildAdvanced(m_progress); });
      return m_context.Stopped();
    };
    switch (copy->CatchUp(m_connection, key, collation->fold, why, m_context.batch, between)) {
      case LocalIndex::Result::Done: {
        const long long rows = copy->Rows();
        m_context.Visit([&] { m_context.port->IndexBuildReady(rows); });
        return true;
      }
      case LocalIndex::Result::Fallback:
        return Fail("the server's collation cannot be reproduced here (" + why + ")");
      case LocalIndex::Result::Failed:
        return Fail(why);
    }
    return false;
  }

  // The server's rows and highest id, for the progress shown; an empty table has no highest id.
  bool ServerSize() {
    std::string rows, highest;
    if (!m_connection.QueryCount(kTotalCountQuery, rows) ||
        !m_connection.QueryValue(kHighestIdQuery, highest))
      return false;
    m_progress.serverRows = std::atoll(rows.c_str());
    m_progress.serverHighestId = std::atoll(highest.c_str());
    return true;
  }

  const IndexBuildContext& m_context;
  DupesConnection m_connection;
  IndexBuildProgress m_progress;
  std::string m_why;
};

}  // namespace

void IndexBuildThreadProc(const IndexBuildContext& context) {
  BuildRun(context).Run();
}

std::shared_ptr<WorkerRun> StartIndexBuild(IndexBuildContext context) {
  std::shared_ptr<WorkerRun> run = context.run;
  return StartDupesThread(std::move(run), [context = std::move(context)] { IndexBuildThreadProc(context); });
}
