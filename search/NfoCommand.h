#pragma once
// The "Retrieve &Nfo File" command: checks the list's selection, creates a hidden viewer and
// starts the NFO worker on a thread of its own. Runs on the UI thread.
#include <functional>
#include <memory>
#include <string>

#include "db/DupesEndpoints.h"
#include "db/WorkerRun.h"

class QWidget;
class CNfoViewerDlg;
class CResultListCtrl;

// How the NFO worker reaches the form: its status line, main button and repaint. Called on the
// UI thread only, and never after the run was stopped.
struct NfoFormHooks {
  std::function<void(const std::string&)> setStatus;
  std::function<void(const std::string&)> setCaption;
  std::function<void()> repaint;
};

// Returns the started run, or null when the command was refused ("There is nothing selected!",
// "You may only select 1 item!", owned by form). A started run has set the caption "Cancel"
// through hooks before this returns. The caller keeps the run for Cancel. The new,
// still hidden viewer goes to *viewer when asked for; it belongs to form's window.
std::shared_ptr<WorkerRun> RetrieveNfoFile(QWidget* form, CResultListCtrl* list, const NfoFormHooks& hooks,
                                           const DupesEndpoints& endpoints, CNfoViewerDlg** viewer = nullptr);
