#include "tests/support/RecordingShell.h"

#include <algorithm>

RecordingShell::RecordingShell() {
  m_previous = SetShellNotifyHandler([this](uint32_t m, const NOTIFYICONDATA& d) { return Handle(m, d); });
}

RecordingShell::~RecordingShell() {
  SetShellNotifyHandler(m_previous);
}

int RecordingShell::Count(uint32_t message) const {
  return static_cast<int>(
      std::count_if(m_calls.begin(), m_calls.end(), [&](const Call& c) { return c.message == message; }));
}

bool RecordingShell::Handle(uint32_t message, const NOTIFYICONDATA& data) {
  m_calls.push_back({message, data});
  auto same = [&](const NOTIFYICONDATA& p) { return p.hWnd == data.hWnd && p.uID == data.uID; };
  auto it = std::find_if(m_present.begin(), m_present.end(), same);
  if (message == NIM_ADD) {
    if (!acceptAdd || it != m_present.end()) return false;
    m_present.push_back(data);
    return true;
  }
  if (message == NIM_DELETE) {
    if (!acceptDelete || it == m_present.end()) return false;
    m_present.erase(it);
    return true;
  }
  return false;
}

bool RecordingShell::Click(uint32_t mouse) const {
  if (m_present.empty() || !m_present.back().hWnd) return false;
  const NOTIFYICONDATA& icon = m_present.back();
  icon.hWnd->OnShellNotify(icon.uCallbackMessage, icon.uID, mouse);
  return true;
}
