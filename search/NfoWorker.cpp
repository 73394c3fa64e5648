#include "search/NfoWorker.h"

#include <mysql.h>

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "db/SqlText.h"
#include "platform/MessageBox.h"

namespace {

const char* const kNoNfo = "There is no NFO Data\r\n(NFO data only available from 02-05-1998 on)";

// Keeps a stopped run silent: every call reaches the port only while the run is not stopped,
// tested inside Invoke(), on the port's thread.
class NfoPortGuard : public ConnectionFeedback {
 public:
  NfoPortGuard(NfoPort& port, const WorkerRun& run) : m_port(port), m_run(run) {}

  bool IsStopped() const { return m_run.IsStopped(); }

  void SetStatus(const std::string& text) override {
    Visit([&] {
      m_port.SetStatus(text);
      m_port.Repaint();
    });
  }
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    int answer = IDCANCEL;
    Visit([&] { answer = m_port.ShowMessage(text, caption, flags); });
    return answer;
  }
  void SetCaption(const std::string& text) {
    Visit([&] { m_port.SetCaption(text); });
  }
  void ShowNfo(const std::string& caption, const std::string& bytes) {
    Visit([&] { m_port.ShowNfo(caption, bytes); });
  }

 private:
  void Visit(const std::function<void()>& call) {
    if (m_run.IsStopped()) return;
    m_port.Invoke([&] {
      if (!m_run.IsStopped()) call();
    });
  }

  NfoPort& m_port;
  const WorkerRun& m_run;
};

class NfoRun {
 public:
  explicit NfoRun(const NfoWorkerContext& context)
      : m_context(context),
        m_guard(*context.port, *context.run),
        m_connection(context.endpoints, context.loginId, context.password, context.run.get()) {}

  void Run() {
    Steps();
    End();
  }

 private:
  bool Stopped() const { return m_guard.IsStopped(); }

  // A statement of a stopped run fails because its socket was shut down: no message then.
  void SqlFailed(const char* step) {
    if (Stopped()) return;
    ReportServerFailure(m_connection, step);
    m_guard.ShowMessage("Cannot execute SQL!", "Kestrel Error", MB_OK | MB_ICONEXCLAMATION);
  }
  void NoNfo() { m_guard.ShowMessage(kNoNfo, "Kestrel", MB_OK | MB_ICONEXCLAMATION); }

  void Steps() {
    // The command has set it already; the same text again changes nothing on screen.
    m_guard.SetCaption("Cancel");
    m_connection.ReleaseResult();
    if (!OpenDupesDatabase(m_connection, m_guard) || Stopped()) return;

    const std::string& date = m_context.dateText;
    const std::string& directory = m_context.directoryText;
    if (!QueryIntoResult(m_connection, BuildNfosQuery(date, directory))) return SqlFailed("NFO index query");
    if (Stopped()) return;
    // The index row only says that an NFO exists; none of its columns is read.
    m_connection.m_row = mysql_fetch_row(m_connection.m_pResult);
    if (!m_connection.m_row) return NoNfo();
    m_connection.ReleaseResult();

    m_guard.SetStatus("Retrieving NFO Data");
    if (!QueryIntoResult(m_connection, BuildNfoDataQuery(date, directory)))
      return SqlFailed("NFO data query");
    if (Stopped()) return;
    m_connection.m_row = mysql_fetch_row(m_connection.m_pResult);
    // The column is binary: its length, not a NUL, says where it ends. NULL reads as empty.
    const unsigned long* lengths = m_connection.m_row ? mysql_fetch_lengths(m_connection.m_pResult) : nullptr;
    if (!lengths || !m_connection.m_row[0] || lengths[0] == 0) return NoNfo();
    m_guard.ShowNfo(directory, std::string(m_connection.m_row[0], lengths[0]));
  }

  void End() {
    m_connection.ReleaseResult();
    CloseDupesDatabase(m_connection, m_guard);
    m_guard.SetCaption("Dupe!");
    m_guard.SetStatus("Idle");
  }

  const NfoWorkerContext& m_context;
  NfoPortGuard m_guard;
  DupesConnection m_connection;
};

}  // namespace

std::string BuildNfosQuery(const std::string& dateText, const std::string& directoryText) {
  return "SELECT * FROM NFOS WHERE NFOS_DATE_STR = '" + EscapeSqlLiteral(dateText) + "'" +
         " AND NFOS_DIR = '" + EscapeSqlLiteral(directoryText) + "'";
}

std::string BuildNfoDataQuery(const std::string& dateText, const std::string& directoryText) {
  return "SELECT NFO_DATA_INFO FROM NFO_DATA WHERE NFO_DATA_DATE_STR = '" + EscapeSqlLiteral(dateText) + "'" +
         " AND NFO_DATA_DIR = '" + EscapeSqlLiteral(directoryText) + "'";
}

unsigned NfoThreadProc(const NfoWorkerContext& context) {
  NfoRun(context).Run();
  return 0;
}

std::shared_ptr<WorkerRun> StartNfoWorker(NfoWorkerContext context) {
  if (!context.run) context.run = WorkerRun::Create();
  std::shared_ptr<WorkerRun> run = context.run;
  if (!WorkerRun::StartThread(run, [context = std::move(context)] { NfoThreadProc(context); }))
    return nullptr;
  return run;
}
