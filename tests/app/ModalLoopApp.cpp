// The real program with one of its modal loops opened, for the process tests: it runs as main()
// does, against the server given in KESTREL_TEST_SERVER, opens the loop that KESTREL_TEST_LOOP
// names once the window is up, and prints "open" when that loop waits for the user. The loops
// "stdin" and "stdin-quit" stand for a worker blocked in a read of standard input (as a login
// plugin that asks the terminal would block one): it holds the stream's lock until the end;
// "stdin-quit" then clicks Quit.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidgetItem>
#include <atomic>
#include <cstdio>

#include "app/CommandEvent.h"
#include "app/KestrelApp.h"
#include "app/KestrelMain.h"
#include "app/MainFrame.h"
#include "controls/HistoryCombo.h"
#include "platform/WorkerRun.h"
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "search/ResultListCtrl.h"
#include "search/StatisticsDlg.h"
#include "tests/support/FindById.h"

namespace {

template <typename T>
T* Shown() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* found = qobject_cast<T*>(window); found && found->isVisible()) return found;
  return nullptr;
}

std::atomic<bool> g_stdinHeld{false};

void HoldStdin() {
  WorkerRun::StartThread(WorkerRun::Create(), [] {
    ::flockfile(stdin);
    g_stdinHeld = true;
    while (::getc_unlocked(stdin) != EOF) {
    }
    ::funlockfile(stdin);
  });
}

void Open(const QString& loop, CKestrelView* view) {
  // Something for the history to keep.
  FindById<CHistoryCombo>(*view, IDC_MASK)->AddToHistory(QStringLiteral("quit-mask"));
  if (loop == "save" || loop == "create") {
    CCommandEvent::Send(view, ID_LOG_SESSION);
  } else if (loop == "open") {
    FindById<CHistoryCombo>(*view, IDC_MASK)->BrowseForFile();
  } else if (loop == "integer" || loop == "quit-integer") {
    FindById<QLineEdit>(*view, IDC_LIMIT)->setText(QStringLiteral("many"));
    (loop == "integer" ? FindById<QAbstractButton>(*view, IDC_GET_ALL)
                       : FindById<QAbstractButton>(*view, IDC_QUIT))
        ->click();
  } else if (loop == "nfo") {
    auto* row = new QTreeWidgetItem({QStringLiteral("010199"), QStringLiteral("Some.Release-GRP")});
    FindById<CResultListCtrl>(*view, IDC_RESULTS)->addTopLevelItem(row);
    row->setSelected(true);
    CCommandEvent::Send(view, ID_RETRIEVE_NFO);
  } else if (loop == "statistics") {
    CCommandEvent::Send(view, ID_DATABASE_STATISTICS);
  } else if (loop.startsWith("stdin")) {
    HoldStdin();
  }
}

bool IsOpen(const QString& loop) {
  if (loop.startsWith("stdin")) return g_stdinHeld;
  if (loop == "save" || loop == "open") return Shown<QFileDialog>();
  if (loop == "statistics") {
    CStatisticsDlg* dlg = Shown<CStatisticsDlg>();
    // The check has begun: a server that refuses the login at once takes it past its first
    // step between two looks.
    return dlg && !FindById<QLineEdit>(*dlg, IDC_STATS_STATUS)->text().isEmpty();
  }
  if (loop == "create") {
    // Save As answered with a new file: the question whether to create it.
    if (QFileDialog* dialog = Shown<QFileDialog>()) {
      dialog->selectFile(qEnvironmentVariable("KESTREL_TEST_NEW_FILE"));
      QMetaObject::invokeMethod(dialog, "accept");
    }
  }
  return Shown<QMessageBox>();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string server = qEnvironmentVariable("KESTREL_TEST_SERVER").toStdString();
  return RunKestrel(argc, argv, DupesEndpoints{server, server}, [](CKestrelApp& app) {
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [&app, poll, opened = false]() mutable {
      const QString loop = qEnvironmentVariable("KESTREL_TEST_LOOP");
      CKestrelView* view = app.MainFrame() ? app.MainFrame()->findChild<CKestrelView*>() : nullptr;
      if (!opened && view && app.MainFrame()->isVisible()) {
        opened = true;
        // From a timer of its own: this one has to keep running inside the loop.
        QTimer::singleShot(0, view, [loop, view] { Open(loop, view); });
      } else if (IsOpen(loop)) {
        std::puts("open");
        std::fflush(stdout);
        poll->stop();
        if (loop == "stdin-quit") FindById<QAbstractButton>(*view, IDC_QUIT)->click();
      }
    });
    poll->start(5);
  });
}
