#include "search/FormRun.h"

#include "platform/MessageBox.h"
#include "res/Texts.h"

FormRun::FormRun(UiLink& link, FormPort& form, const std::shared_ptr<WorkerRun>& run,
                 const DupesEndpoints& endpoints, const std::string& loginId, const std::string& password)
    : m_connection(endpoints, loginId, password, run.get()), m_link(link), m_formPort(form), m_run(*run) {}

void FormRun::SetStatus(const std::string& text) {
  Visit([&] {
    m_formPort.SetStatusText(text);
    m_formPort.Repaint();
  });
}

void FormRun::SetCaption(const char* text) {
  Visit([&] { m_formPort.SetButtonCaption(text); });
}

void FormRun::SqlFailed(const char* step) {
  if (Stopped()) return;
  m_connection.ReportFailure(step);
  ShowMessage(kTextCannotExecute, kCaptionError, MB_OK | MB_ICONEXCLAMATION);
}
