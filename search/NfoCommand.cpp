#include "search/NfoCommand.h"

#include <QPointer>

#include "app/Settings.h"
#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "search/NfoViewerDlg.h"
#include "search/NfoWorker.h"
#include "search/ResultListCtrl.h"

namespace {

// The GUI side of the worker's port: each call runs on the UI thread while the worker waits, so
// the texts appear in the worker's order and the stop test in Invoke() sits beside Cancel.
class QtNfoPort : public NfoPort {
 public:
  QtNfoPort(QWidget* form, CNfoViewerDlg* viewer, NfoFormHooks hooks)
      : m_form(form), m_viewer(viewer), m_hooks(std::move(hooks)) {}

  void Invoke(const std::function<void()>& call) override { RunOnUiThread(call); }

  void SetStatus(const std::string& text) override {
    if (m_form && m_hooks.setStatus) m_hooks.setStatus(text);
  }
  void Repaint() override {
    if (m_form && m_hooks.repaint) m_hooks.repaint();
  }
  void SetCaption(const std::string& text) override {
    if (m_form && m_hooks.setCaption) m_hooks.setCaption(text);
  }
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    return ShowMessageBox(m_viewer.data(), text, caption, flags);
  }
  void ShowNfo(const std::string& caption, const std::string& bytes) override {
    if (!m_viewer) return;
    m_viewer->setWindowTitle(QString::fromStdString(caption));
    m_viewer->show();
    m_viewer->repaint();
    m_viewer->SetNfoText(bytes);
    m_viewer->repaint();
  }

 private:
  QPointer<QWidget> m_form;
  QPointer<CNfoViewerDlg> m_viewer;
  NfoFormHooks m_hooks;
};

void Notice(QWidget* form, const char* text) {
  ShowMessageBox(form, text, "Kestrel", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

std::shared_ptr<WorkerRun> RetrieveNfoFile(QWidget* form, CResultListCtrl* list, const NfoFormHooks& hooks,
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
  if (!selected) return Notice(form, "There is nothing selected!"), nullptr;
  if (another) return Notice(form, "You may only select 1 item!"), nullptr;

  NfoWorkerContext context;
  OpenSettingsKey();
  context.loginId = GetDefaultLogin();
  context.password = GetDefaultLogin();
  CloseSettingsKey();

  auto* viewer = new CNfoViewerDlg(form ? form->window() : nullptr);
  viewer->m_strDate = selected->text(0);
  viewer->m_strDirectory = selected->text(1);
  if (viewerOut) *viewerOut = viewer;

  context.port = std::make_shared<QtNfoPort>(form, viewer, hooks);
  context.endpoints = endpoints;
  context.dateText = viewer->m_strDate.toStdString();
  context.directoryText = viewer->m_strDirectory.toStdString();
  // The caption is the form's state: it must read "Cancel" before this event ends, or a press of
  // the button in between would start a second worker beside this one.
  if (hooks.setCaption) hooks.setCaption("Cancel");
  std::shared_ptr<WorkerRun> run = StartNfoWorker(std::move(context));
  if (!run && hooks.setCaption) hooks.setCaption("Dupe!");
  return run;
}
