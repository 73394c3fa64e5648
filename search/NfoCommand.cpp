#include "search/NfoCommand.h"

#include "app/Settings.h"
#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "res/Texts.h"
#include "search/NfoViewerDlg.h"
#include "search/NfoWorker.h"
#include "search/ResultListCtrl.h"
#include "search/WorkerPorts.h"

namespace {

void Notice(QWidget* form, const char* text) {
  ShowMessageBox(form, text, kCaptionKestrel, MB_OK | MB_ICONEXCLAMATION);
}

// A row's column as the server sent it; a row put in without its bytes has only its text.
std::string SentText(const QTreeWidgetItem* item, int column) {
  const QVariant bytes = item->data(column, Qt::UserRole);
  if (bytes.typeId() == QMetaType::QByteArray) return bytes.toByteArray().toStdString();
  return item->text(column).toStdString();
}

}  // namespace

std::shared_ptr<WorkerRun> RetrieveNfoFile(QWidget* form, FormPort& port, CResultListCtrl* list,
                                           const DupesEndpoints& endpoints, CNfoViewerDlg** viewerOut) {
  if (viewerOut) *viewerOut = nullptr;
  // The first selected row in display order, and whether another one follows it.
  QTreeWidgetItem* selected = nullptr;
  bool another = false;
  for (int i = 0, n = list ? list->topLevelItemCount() : 0; i < n && !another; ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    if (!item->isSelected()) continue;
    if (selected) {
      another = true;
    } else {
      selected = item;
    }
  }
  if (!selected || another) {
    Notice(form, selected ? kTextOnlyOne : kTextNothingSelected);
    return nullptr;
  }

  NfoWorkerContext context;
  context.loginId = context.password = ReadGuestLogin();

  auto* viewer = new CNfoViewerDlg(form ? form->window() : nullptr);
  viewer->SetEntry(selected->text(0), selected->text(1));
  if (viewerOut) *viewerOut = viewer;

  // The viewer goes with form's window, in the same UI-thread step as form: guarding form
  // guards both.
  context.link = std::make_shared<QtUiLink>(form);
  context.form = &port;
  context.viewer = viewer;
  context.endpoints = endpoints;
  context.dateText = SentText(selected, 0);
  context.directoryText = SentText(selected, 1);
  // The caption is the form's state: it must read "Cancel" before this event ends, or a press of
  // the button in between would start a second worker beside this one.
  port.SetButtonCaption(kTextCancel);
  std::shared_ptr<WorkerRun> run = StartNfoWorker(std::move(context));
  if (!run) port.SetButtonCaption(kTextDupe);
  return run;
}
