#pragma once
// What every worker changes on the search form: its status line, its main button and a repaint.
// Workers call it only inside a visit of their UiLink, so it runs on the UI thread and may use the
// widgets directly; tests implement it headless.
#include <string>

class FormPort {
 public:
  virtual ~FormPort() = default;

  virtual void SetStatusText(const std::string& text) = 0;
  // The main button's caption, the form's state: "Cancel" while a worker runs.
  virtual void SetButtonCaption(const std::string& text) = 0;
  // Paints the form at once, so a status shows while the worker blocks in its next call.
  virtual void Repaint() = 0;
};
