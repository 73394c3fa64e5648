#include "search/NfoWorker.h"

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "db/SqlText.h"
#include "platform/MessageBox.h"
#include "res/Texts.h"

namespace {

class NfoRun : public ConnectionFeedback {
 public:
  explicit NfoRun(const NfoWorkerContext& context)
      : m_context(context),
        m_link(*context.link),
        m_run(*context.run),
        m_connection(context.endpoints, context.loginId, context.password, context.run.get()) {}

  void Run() {
    Steps();
    End();
  }

 private:
  bool Stopped() const { return m_run.IsStopped(); }
  bool Visit(const std::function<void()>& call) { return m_link.Visit(&m_run, call); }

  // Status line, then repaint, in one visit.
  void SetStatus(const std::string& text) override {
    Visit([&] {
      m_context.form->SetStatusText(text);
      m_context.form->Repaint();
    });
  }
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    int answer = IDCANCEL;
    Visit([&] { answer = m_context.viewer->ShowMessage(text, caption, flags); });
    return answer;
  }
  void SetCaption(const char* text) {
    Visit([&] { m_context.form->SetButtonCaption(text); });
  }

  // A statement of a stopped run fails because its socket was shut down: no message then.
  void SqlFailed(const char* step) {
    if (Stopped()) return;
    m_connection.ReportFailure(step);
    ShowMessage(kTextCannotExecute, kCaptionError, MB_OK | MB_ICONEXCLAMATION);
  }
  void NoNfo() { ShowMessage(kTextNoNfo, kCaptionKestrel, MB_OK | MB_ICONEXCLAMATION); }

  void Steps() {
    // The command has set it already; the same text again changes nothing on screen.
    SetCaption(kTextCancel);
    m_connection.ReleaseResult();
    if (!m_connection.Open(*this) || Stopped()) return;

    const std::string& date = m_context.dateText;
    const std::string& directory = m_context.directoryText;
    if (!m_connection.Query(BuildNfosQuery(date, directory))) return SqlFailed("NFO index query");
    if (Stopped()) return;
    // The index row only says that an NFO exists; none of its columns is read.
    if (!m_connection.FetchRow()) return NoNfo();
    m_connection.ReleaseResult();

    SetStatus(kStatusRetrievingNfo);
    if (!m_connection.Query(BuildNfoDataQuery(date, directory))) return SqlFailed("NFO data query");
    if (Stopped()) return;
    // The column is binary: its length, not a NUL, says where it ends. NULL reads as empty.
    unsigned long length = 0;
    const char* bytes = m_connection.FetchRow() ? m_connection.Field(0, &length) : nullptr;
    if (!bytes || length == 0) return NoNfo();
    const std::string nfo(bytes, length);
    Visit([&] { m_context.viewer->ShowNfo(directory, nfo); });
  }

  void End() {
    m_connection.ReleaseResult();
    m_connection.Close(*this);
    SetCaption(kTextDupe);
    SetStatus(kTextIdle);
  }

  const NfoWorkerContext& m_context;
  UiLink& m_link;
  const WorkerRun& m_run;
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

void NfoThreadProc(const NfoWorkerContext& context) {
  NfoRun(context).Run();
}

std::shared_ptr<WorkerRun> StartNfoWorker(NfoWorkerContext context) {
  std::shared_ptr<WorkerRun> run = context.run;
  return WorkerRun::StartThread(std::move(run), [context = std::move(context)] { NfoThreadProc(context); });
}
