#pragma once
// What the connection steps need from their caller: a status line (repainted at once) and
// message boxes owned by the caller's window. A worker answers through its UiLink's visits, so a
// stopped run shows nothing.
#include <string>

class ConnectionFeedback {
 public:
  virtual ~ConnectionFeedback() = default;
  virtual void SetStatus(const std::string& text) = 0;
  // flags: MB_* of platform/MessageBox.h; returns the ID* answer.
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
};
