#include "tests/support/RecordingMessageBox.h"

RecordingMessageBox::RecordingMessageBox() {
  m_previous = SetMessageBoxHandler(
      [this](void* owner, const std::string& text, const std::string& caption, unsigned flags) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back({owner, text, caption, flags});
        return (flags & MB_TYPEMASK) == MB_YESNO ? m_answer : IDOK;
      });
}

RecordingMessageBox::~RecordingMessageBox() {
  SetMessageBoxHandler(m_previous);
}

void RecordingMessageBox::AnswerQuestionsWith(int answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_answer = answer;
}

std::vector<RecordingMessageBox::Box> RecordingMessageBox::Boxes() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_boxes;
}

std::vector<std::string> RecordingMessageBox::Texts() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> texts;
  for (const Box& box : m_boxes) texts.push_back(box.text);
  return texts;
}

void RecordingMessageBox::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_boxes.clear();
}
