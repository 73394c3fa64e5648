#include "search/SearchPortGuard.h"

#include "platform/MessageBox.h"

bool SearchPortGuard::Visit(const std::function<void()>& call) {
  // Tested here to spare a trip to a form thread, and again there, where Cancel runs.
  if (m_run.IsStopped()) return false;
  bool ran = false;
  m_port.Invoke([&] {
    if (m_run.IsStopped()) return;
    call();
    ran = true;
  });
  return ran;
}

void SearchPortGuard::SetStatus(const std::string& text) {
  Visit([&] {
    m_port.SetStatus(text);
    m_port.Repaint();
  });
}

int SearchPortGuard::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  int answer = IDCANCEL;
  Visit([&] { answer = m_port.ShowMessage(text, caption, flags); });
  return answer;
}

void SearchPortGuard::Repaint() {
  Visit([&] { m_port.Repaint(); });
}

void SearchPortGuard::SetCaption(const std::string& text) {
  Visit([&] { m_port.SetCaption(text); });
}

bool SearchPortGuard::ReadRequest(bool exchange, SearchRequest& request) {
  return Visit([&] { request = m_port.ReadRequest(exchange); });
}

void SearchPortGuard::WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                                          const std::string& endBound) {
  Visit([&] { m_port.WriteLimitAndBounds(limit, startBound, endBound); });
}

void SearchPortGuard::DeleteAllRows() {
  Visit([&] { m_port.DeleteAllRows(); });
}

void SearchPortGuard::InsertRow(int index, const std::string& date, const std::string& directory) {
  Visit([&] { m_port.InsertRow(index, date, directory); });
}

bool SearchPortGuard::IsLogging() {
  bool on = false;
  Visit([&] { on = m_port.IsLogging(); });
  return on;
}

std::string SearchPortGuard::LogFilePath() {
  std::string path;
  Visit([&] { path = m_port.LogFilePath(); });
  return path;
}

bool SearchPortGuard::WriteLogIfOn(const std::function<void()>& write) {
  bool wrote = false;
  Visit([&] {
    if (!m_port.IsLogging()) return;
    write();
    wrote = true;
  });
  return wrote;
}

bool SearchPortGuard::OpenLogIfOn(const std::function<bool(const std::string& path)>& open) {
  bool opened = false;
  Visit([&] {
    if (m_port.IsLogging()) opened = open(m_port.LogFilePath());
  });
  return opened;
}

size_t SearchPortGuard::InsertRows(int first, const std::vector<RowText>& rows, bool& logging,
                                   const std::function<void(const RowText&)>& logRow) {
  size_t inserted = 0;
  Visit([&] {
    for (const RowText& row : rows) {
      if (m_run.IsStopped()) return;
      m_port.InsertRow(first + static_cast<int>(inserted), row.first, row.second);
      ++inserted;
      if (m_run.IsStopped()) return;
      if (logging && !m_port.IsLogging()) logging = false;
      if (logging) logRow(row);
    }
  });
  return inserted;
}
