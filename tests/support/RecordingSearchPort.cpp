#include "tests/support/RecordingSearchPort.h"

#include <chrono>
#include <cstdio>

#include "platform/MessageBox.h"

void RecordingSearchPort::SetInputs(const SearchRequest& inputs) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_inputs = inputs;
}

SearchRequest RecordingSearchPort::Inputs() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_inputs;
}

void RecordingSearchPort::ScriptAnswers(std::deque<int> answers) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_answers = std::move(answers);
}

void RecordingSearchPort::SetLogging(bool on, const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_logging = on;
  if (!path.empty()) m_logPath = path;
}

void RecordingSearchPort::OnEvent(std::function<void(const std::string&)> hook) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_hook = std::move(hook);
}

void RecordingSearchPort::Cancel(WorkerRun& run) {
  std::lock_guard<std::recursive_mutex> form(m_formThread);
  Record("cancel");
  run.Stop();
}

std::vector<std::string> RecordingSearchPort::Events() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_events;
}

std::vector<std::string> RecordingSearchPort::EventsOf(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& e : Events()) {
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e.substr(prefix.size()));
  }
  return out;
}

bool RecordingSearchPort::WaitFor(const std::string& event, int milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    for (const auto& e : m_events) {
      if (e == event) return true;
    }
    return false;
  });
}

void RecordingSearchPort::Record(const std::string& event) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(event);
    hook = m_hook;
  }
  m_changed.notify_all();
  if (hook) hook(event);
}

void RecordingSearchPort::Invoke(const std::function<void()>& call) {
  std::lock_guard<std::recursive_mutex> form(m_formThread);
  call();
}

void RecordingSearchPort::SetStatus(const std::string& text) {
  Record("status:" + text);
}

void RecordingSearchPort::Repaint() {
  Record("repaint");
}

void RecordingSearchPort::SetCaption(const std::string& text) {
  Record("caption:" + text);
}

SearchRequest RecordingSearchPort::ReadRequest(bool exchange) {
  Record(exchange ? "exchange" : "read");
  return Inputs();
}

void RecordingSearchPort::WriteLimitAndBounds(int32_t limit, const std::string& startBound,
                                              const std::string& endBound) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inputs.m_nLimit = limit;
    m_inputs.m_strStartBound = startBound;
    m_inputs.m_strEndBound = endBound;
  }
  Record("write:" + std::to_string(limit) + "|" + startBound + "|" + endBound);
}

void RecordingSearchPort::DeleteAllRows() {
  Record("clear");
}

void RecordingSearchPort::InsertRow(int index, const std::string& date, const std::string& directory) {
  Record("row:" + std::to_string(index) + " " + date + " " + directory);
}

int RecordingSearchPort::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", flags);
  Record("message:" + caption + "|" + hex + "|" + text);
  if ((flags & MB_TYPEMASK) != MB_YESNO) return IDOK;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_answers.empty()) return IDYES;
  int answer = m_answers.front();
  m_answers.pop_front();
  return answer;
}

bool RecordingSearchPort::IsLogging() {
  Record("logging?");
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_logging;
}

std::string RecordingSearchPort::LogFilePath() {
  Record("logpath?");
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_logPath;
}
