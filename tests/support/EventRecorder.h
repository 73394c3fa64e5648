#pragma once
// The record a headless port keeps: every call that reaches it as one event text, from any
// thread, in order. RunAsForm() and Cancel() are serialised the way the UI thread serialises a
// worker's visits with the form's Cancel, so "no call after Cancel" can be checked exactly.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WorkerRun.h"

// Message box flags as message events show them: lower-case hex.
std::string FlagsHex(unsigned flags);

class EventRecorder {
 public:
  void Record(const std::string& event);
  // Records "message:<caption>|<flags hex>|<text>".
  void RecordMessage(const std::string& text, const std::string& caption, unsigned flags);
  // Called (on the recording thread, inside the call) after each event is recorded.
  void OnEvent(std::function<void(const std::string& event)> hook);

  // A visit of the worker, as the UI thread runs it.
  void RunAsForm(const std::function<void()>& call);
  // Stops run as the form's Cancel does, between two visits; records "cancel".
  void Cancel(WorkerRun& run);

  std::vector<std::string> Events();
  // Events starting with prefix, with the prefix removed.
  std::vector<std::string> EventsOf(const std::string& prefix);
  // Waits until an event equal to event was recorded; false after milliseconds.
  bool WaitFor(const std::string& event, int milliseconds);

 private:
  std::recursive_mutex m_formThread;  // held through each visit, like the UI thread
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_events;
  std::function<void(const std::string&)> m_hook;
};
