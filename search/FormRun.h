#pragma once
// What the search and the NFO run share: the run's connection and its way to the form. Every
// change reaches the form inside a visit of the run's link, so a stopped run changes nothing.
#include <functional>
#include <string>

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "search/WorkerContext.h"
#include "search/WorkerPorts.h"

class FormRun : public ConnectionFeedback {
 public:
  FormRun(const WorkerContext& context, FormPort& form);

 protected:
  bool Stopped() const { return m_context.Stopped(); }
  bool Visit(const std::function<void()>& call) { return m_context.Visit(call); }
  // Status line, then repaint, in one visit.
  void SetStatus(const std::string& text) override;
  void SetCaption(const char* text);
  // A statement of a stopped run fails because its socket was shut down: no line and no message
  // then. Otherwise the failure line of step, then "Cannot execute SQL!".
  void SqlFailed(const char* step);

  DupesConnection m_connection;

 private:
  const WorkerContext& m_context;
  FormPort& m_formPort;
};
