// NFO retrievals through the real form (offscreen) of one stored entry, closed with OK each time:
// the longest the UI thread is kept from its event loop while the text arrives, is drawn, is
// scrolled to its far end and is selected there by mouse, the peak memory above the process before the first
// retrieval, and what stays in use after the last viewer was closed. Prints name=value lines prefixed with
// LABEL.
//   nfo_bench ADDRESS DATE DIRECTORY LABEL [RETRIEVALS]
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "db/DupesConnection.h"
#include "platform/MessageBox.h"
#include "platform/SettingsFile.h"
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "search/NfoTextView.h"
#include "search/NfoViewerDlg.h"
#include "search/ResultListCtrl.h"

namespace {

double RssMib() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double PeakMib() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The longest time the UI thread went without running its event loop, while it runs.
class StallWatch : public QObject {
 public:
  StallWatch() {
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, [this] {
      m_longest = std::max(m_longest, static_cast<double>(m_clock.nsecsElapsed()) / 1e6);
      m_clock.restart();
    });
    m_clock.start();
    m_timer.start();
  }
  double Longest() const { return m_longest; }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  double m_longest = 0;
};

void Turns(int n) {
  for (int i = 0; i < n; ++i) QApplication::processEvents();
}

// A press at the first point, moves through the others, a release at the last.
void Drag(QWidget* widget, const std::vector<QPoint>& points) {
  auto send = [widget](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
    Turns(2);
  };
  send(QEvent::MouseButtonPress, points.front(), Qt::LeftButton);
  for (const QPoint& at : points) send(QEvent::MouseMove, at, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, points.back(), Qt::NoButton);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: nfo_bench ADDRESS DATE DIRECTORY LABEL [RETRIEVALS]\n");
    return 2;
  }
  const std::string address = argv[1];
  const std::string label = argv[4];
  const int retrievals = argc > 5 ? std::atoi(argv[5]) : 4;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  InitDupesLibrary();
  QApplication app(argc, argv);
  SettingsFile::Shared().SetPath("/tmp/nfo-bench-" + std::to_string(getpid()) + "/Harrow/Kestrel.reg");
  CreateSettingsKey();
  CloseSettingsKey();
  SetMessageBoxHandler([](void*, const std::string& text, const std::string&, unsigned) {
    std::fprintf(stderr, "nfo_bench: message \"%s\"\n", text.c_str());
    std::exit(1);
    return IDOK;
  });

  CKestrelView view(DupesEndpoints{address, address});
  view.resize(460, 350);
  view.OnInitialUpdate();
  view.show();
  view.InsertRow(0, argv[2], argv[3]);
  auto* list = view.findChild<CResultListCtrl*>(QString::number(IDC_RESULTS));
  list->topLevelItem(0)->setSelected(true);
  Turns(20);

  const double before = RssMib();
  StallWatch stalls;
  size_t characters = 0;
  for (int i = 0; i < retrievals; ++i) {
    view.OnCommand(ID_RETRIEVE_NFO);
    const std::shared_ptr<WorkerRun> run = view.RunningWorker();
    while (!run->IsFinished()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    CNfoViewerDlg* viewer = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* v = qobject_cast<CNfoViewerDlg*>(w); v && v->isVisible()) viewer = v;
    if (!viewer) return std::fprintf(stderr, "nfo_bench: no viewer shown\n"), 1;
    CNfoTextView* text = viewer->TextField();
    characters = text->Prepared().characters.size();
    Turns(5);
    // The far corner: the end of the longest line, the last line.
    text->horizontalScrollBar()->setValue(text->horizontalScrollBar()->maximum());
    Turns(5);
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
    Turns(5);
    Drag(text->viewport(), {QPoint(20, 8), QPoint(120, 8), QPoint(260, 30), QPoint(400, 8)});
    viewer->findChild<QPushButton*>(QString::number(IDOK_CONTROL))->click();
    Turns(5);
  }
  std::printf("%s_characters=%zu\n", label.c_str(), characters);
  std::printf("%s_ui_longest_block_ms=%.1f\n", label.c_str(), stalls.Longest());
  std::printf("%s_peak_growth_mib=%.1f\n", label.c_str(), PeakMib() - before);
  std::printf("%s_after_ok_growth_mib=%.1f\n", label.c_str(), RssMib() - before);
  return 0;
}
