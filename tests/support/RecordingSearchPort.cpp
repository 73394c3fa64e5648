#include "tests/support/RecordingSearchPort.h"

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

bool RecordingSearchPort::Carry(const std::function<void()>& call) {
  RunAsForm(call);
  return true;
}

void RecordingSearchPort::SetStatusText(const std::string& text) {
  Record("status:" + text);
}

void RecordingSearchPort::Repaint() {
  Record("repaint");
}

void RecordingSearchPort::SetButtonCaption(const std::string& text) {
  Record("caption:" + text);
}

SearchRequest RecordingSearchPort::ReadRequest() {
  Record("exchange");
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
  RecordMessage(text, caption, flags);
  if ((flags & MB_TYPEMASK) != MB_YESNO) return IDOK;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_answers.empty()) return IDYES;
  int answer = m_answers.front();
  m_answers.pop_front();
  return answer;
}

// The form's reads are const; the record of them is not part of the form.
bool RecordingSearchPort::IsLogging() const {
  const_cast<RecordingSearchPort*>(this)->Record("logging?");
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_logging;
}

std::string RecordingSearchPort::LogFilePath() const {
  const_cast<RecordingSearchPort*>(this)->Record("logpath?");
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_logPath;
}
