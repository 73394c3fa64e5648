#include "search/NfoWorker.h"

#include <utility>

#include "db/Statements.h"
#include "platform/MessageBox.h"
#include "res/Texts.h"
#include "search/FormRun.h"

namespace {

// NFO_DATA_INFO is a MEDIUMBLOB; its packet carries a little more than the blob.
constexpr unsigned long kNfoBytes = (1UL << 24) - 1;
constexpr unsigned long kNfoPacketBytes = kNfoBytes + (1UL << 16);

class NfoRun : public FormRun {
 public:
  explicit NfoRun(const NfoWorkerContext& context) : FormRun(context, *context.form), m_context(context) {
    m_connection.SetPacketLimit(kNfoPacketBytes);
  }

  void Run() {
    Steps();
    End();
  }

 private:
  // The viewer owns the run's boxes, so the form stays usable.
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    int answer = IDCANCEL;
    Visit([&] { answer = m_context.viewer->ShowMessage(text, caption, flags); });
    return answer;
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
    // The index row only says that an NFO exists; none of its columns is read, and further
    // rows (its key is not unique) are passed over one at a time.
    if (!m_connection.FetchRow()) return m_connection.HasError() ? SqlFailed("NFO index query") : NoNfo();
    m_connection.ReleaseResult();
    if (Stopped()) return;

    SetStatus(kStatusRetrievingNfo);
    // One text per entry: a second row would only cost memory, so it ends the retrieval.
    ResultBounds bounds;
    bounds.maxRows = 1;
    bounds.maxFieldBytes = {kNfoBytes};
    if (!m_connection.Query(BuildNfoDataQuery(date, directory), bounds)) return SqlFailed("NFO data query");
    if (Stopped()) return;
    // The column is binary: its length, not a NUL, says where it ends. NULL reads as empty.
    unsigned long length = 0;
    const char* bytes = m_connection.FetchRow() ? m_connection.Field(0, &length) : nullptr;
    if (!bytes || length == 0) {
      if (Stopped()) return;
      if (m_connection.FetchRow() || m_connection.HasError()) return SqlFailed("NFO data query");
      return NoNfo();
    }
    // Made ready here and handed over whole, so the UI thread only draws it. The text is made
    // from the row where it lies: a copy of 16 MiB of bytes beside it would double the peak.
    NfoText text = PrepareNfoText(std::string_view(bytes, length));
    if (Stopped()) return;
    if (m_connection.FetchRow() || m_connection.HasError()) return SqlFailed("NFO data query");
    m_connection.ReleaseResult();
    Visit([&] { m_context.viewer->ShowNfo(directory, std::move(text)); });
  }

  void End() {
    m_connection.ReleaseResult();
    m_connection.Close(*this);
    SetCaption(kTextDupe);
    SetStatus(kTextIdle);
  }

  const NfoWorkerContext& m_context;
};

}  // namespace

void NfoThreadProc(const NfoWorkerContext& context) {
  NfoRun(context).Run();
}

std::shared_ptr<WorkerRun> StartNfoWorker(NfoWorkerContext context) {
  std::shared_ptr<WorkerRun> run = context.run;
  return StartDupesThread(std::move(run), [context = std::move(context)] { NfoThreadProc(context); });
}
