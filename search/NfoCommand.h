#pragma once
// The "Retrieve &Nfo File" command: checks the list's selection, creates a hidden viewer and
// starts the NFO worker on a thread of its own. Runs on the UI thread.
#include <memory>

#include "db/DupesEndpoints.h"
#include "platform/WorkerRun.h"

class QWidget;
class CNfoViewerDlg;
class CResultListCtrl;
class FormPort;

// Returns the started run, or null when the command was refused ("There is nothing selected!",
// "You may only select 1 item!", owned by form). The worker reaches form's status line and
// button through port while form exists; a started run has set the caption "Cancel" before this
// returns. The caller keeps the run for Cancel. The new, still hidden viewer goes to *viewer when
// asked for; it belongs to form's window.
std::shared_ptr<WorkerRun> RetrieveNfoFile(QWidget* form, FormPort& port, CResultListCtrl* list,
                                           const DupesEndpoints& endpoints, CNfoViewerDlg** viewer = nullptr);
