#include "tests/support/FailureLines.h"

#include <utility>

#include "platform/Diagnostics.h"

FailureLines::FailureLines() {
  SetFailureSink([this](const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(line);
  });
}

FailureLines::~FailureLines() {
  SetFailureSink(nullptr);
}

std::vector<std::string> FailureLines::Take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return std::exchange(m_lines, {});
}
