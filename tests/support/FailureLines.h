#pragma once
// Catches the failure lines (platform/Diagnostics.h) while it lives, from any thread.
#include <mutex>
#include <string>
#include <vector>

class FailureLines {
 public:
  FailureLines();
  ~FailureLines();
  FailureLines(const FailureLines&) = delete;
  FailureLines& operator=(const FailureLines&) = delete;

  std::vector<std::string> Take();  // the lines so far, oldest first; then none

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};
