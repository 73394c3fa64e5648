// The program's three kinds of window, shown on the display the environment names, for the
// decorations test: prints "<window> <X window id>" for each once it is shown, then runs until
// its standard input closes.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "app/MainFrame.h"
#include "db/DupesEndpoints.h"
#include "search/NfoText.h"
#include "search/NfoViewerDlg.h"
#include "search/StatisticsDlg.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  CMainFrame frame;
  frame.show();
  std::printf("main 0x%llx\n", static_cast<unsigned long long>(frame.winId()));

  auto* viewer = new CNfoViewerDlg(&frame);
  viewer->ShowNfo("Some.Release-GRP", PrepareNfoText("text"));
  std::printf("nfo 0x%llx\n", static_cast<unsigned long long>(viewer->winId()));

  // Nobody listens on port 9 of this address: the check ends at once.
  DupesEndpoints nowhere{"127.0.0.1", "127.0.0.1", 9, 9, 1, 0};
  CStatisticsDlg* statistics = CStatisticsDlg::Open(nowhere, &frame);
  std::printf("statistics 0x%llx\n", static_cast<unsigned long long>(statistics->winId()));
  std::fflush(stdout);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[64];
    if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) QApplication::quit();
  });
  return QApplication::exec();
}
