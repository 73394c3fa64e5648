#pragma once
// A message-box backend for tests: records every box (from any thread) and answers at once,
// IDYES to questions unless told otherwise. The previous backend comes back on destruction.
#include <mutex>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

class RecordingMessageBox {
 public:
  struct Box {
    void* owner;
    std::string text;
    std::string caption;
    unsigned flags;
  };

  RecordingMessageBox();
  ~RecordingMessageBox();
  RecordingMessageBox(const RecordingMessageBox&) = delete;
  RecordingMessageBox& operator=(const RecordingMessageBox&) = delete;

  void AnswerQuestionsWith(int answer);
  std::vector<Box> Boxes();
  std::vector<std::string> Texts();
  void Clear();

 private:
  MessageBoxHandler m_previous;
  std::mutex m_mutex;
  std::vector<Box> m_boxes;
  int m_answer = IDYES;
};
