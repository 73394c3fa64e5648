#pragma once
// A shell backend for tests: records every call with a copy of its record, keeps the set of
// icons present, and answers as told.
#include <string>
#include <vector>

#include "platform/Shell.h"

class RecordingShell {
 public:
  struct Call {
    uint32_t message;
    NOTIFYICONDATA data;
  };

  // Installs itself as the backend; the previous one comes back on destruction.
  RecordingShell();
  ~RecordingShell();
  RecordingShell(const RecordingShell&) = delete;
  RecordingShell& operator=(const RecordingShell&) = delete;

  bool acceptAdd = true;
  bool acceptDelete = true;

  const std::vector<Call>& Calls() const { return m_calls; }
  int Count(uint32_t message) const;
  // Icons added and not deleted.
  int Present() const { return static_cast<int>(m_present.size()); }
  // What the tray would tell the icon's window when clicked (mouse is a WM_* mouse message).
  bool Click(uint32_t mouse) const;

 private:
  bool Handle(uint32_t message, const NOTIFYICONDATA& data);

  ShellNotifyHandler m_previous;
  std::vector<Call> m_calls;
  std::vector<NOTIFYICONDATA> m_present;
};
