#include "search/FormRun.h"

#include "platform/MessageBox.h"
#include "res/Texts.h"

FormRun::FormRun(const WorkerContext& context, FormPort& form)
    : m_connection(context.endpoints, context.loginId, context.password, context.run.get()),
      m_context(context),
      m_formPort(form) {}

void FormRun::SetStatus(const std::string& text) {
  m_context.Visit([&] {
    m_formPort.SetStatusText(text);
    m_formPort.Repaint();
  });
}

void FormRun::SetCaption(const char* text) {
  m_context.Visit([&] { m_formPort.SetButtonCaption(text); });
}

void FormRun::SqlFailed(const char* step) {
  if (Stopped()) return;
  m_connection.ReportFailure(step);
  ShowMessage(kTextCannotExecute, kCaptionError, MB_OK | MB_ICONEXCLAMATION);
}
