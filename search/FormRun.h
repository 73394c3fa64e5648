#pragma once
// What the search and the NFO run share: the run's connection and its way to the form. Every
// change reaches the form inside a visit of the run's link, so a stopped run changes nothing.
#include <functional>
#include <memory>
#include <string>

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "platform/UiLink.h"
#include "platform/WorkerRun.h"
#include "search/FormPort.h"

class FormRun : public ConnectionFeedback {
 public:
  FormRun(UiLink& link, FormPort& form, const std::shared_ptr<WorkerRun>& run,
          const DupesEndpoints& endpoints, const std::string& loginId, const std::string& password);

 protected:
  bool Stopped() const { return m_run.IsStopped(); }
  // False when the call was dropped (run stopped, window gone).
  bool Visit(const std::function<void()>& call) { return m_link.Visit(&m_run, call); }
  // Status line, then repaint, in one visit.
  void SetStatus(const std::string& text) override;
  void SetCaption(const char* text);
  // A statement of a stopped run fails because its socket was shut down: no line and no message
  // then. Otherwise the failure line of step, then "Cannot execute SQL!".
  void SqlFailed(const char* step);

  DupesConnection m_connection;

 private:
  UiLink& m_link;
  FormPort& m_formPort;
  const WorkerRun& m_run;
};
