#include "tests/support/EventRecorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

std::string FlagsHex(unsigned flags) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", flags);
  return hex;
}

void EventRecorder::Record(const std::string& event) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(event);
    hook = m_hook;
  }
  m_changed.notify_all();
  if (hook) hook(event);
}

void EventRecorder::RecordMessage(const std::string& text, const std::string& caption, unsigned flags) {
  Record("message:" + caption + "|" + FlagsHex(flags) + "|" + text);
}

void EventRecorder::OnEvent(std::function<void(const std::string&)> hook) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_hook = std::move(hook);
}

void EventRecorder::RunAsForm(const std::function<void()>& call) {
  std::lock_guard<std::recursive_mutex> form(m_formThread);
  call();
}

void EventRecorder::Cancel(WorkerRun& run) {
  std::lock_guard<std::recursive_mutex> form(m_formThread);
  Record("cancel");
  run.Stop();
}

std::vector<std::string> EventRecorder::Events() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_events;
}

std::vector<std::string> EventRecorder::EventsOf(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& e : Events()) {
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e.substr(prefix.size()));
  }
  return out;
}

bool EventRecorder::WaitFor(const std::string& event, int milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    return std::find(m_events.begin(), m_events.end(), event) != m_events.end();
  });
}
