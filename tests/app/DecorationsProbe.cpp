// The program's three kinds of window, shown on the display the environment names, for the
// decorations test: prints "<window> <X window id>" for each once it is shown, then runs until
// its standard input closes. The lines "minimise" and "show" on it minimise and show the frame.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "app/MainFrame.h"
#include "db/DupesEndpoints.h"
#include "platform/Shell.h"
#include "search/NfoText.h"
#include "search/NfoViewerDlg.h"
#include "search/StatisticsDlg.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // A notification area that takes the icon: minimised, the frame hides into it.
  SetShellNotifyHandler([](uint32_t, const NOTIFYICONDATA&) { return true; });
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
    const ssize_t length = read(STDIN_FILENO, buffer, sizeof buffer);
    if (length <= 0) return QApplication::quit();
    // The frame minimised through the window manager, then brought back as the tray does.
    const QByteArray command = QByteArray(buffer, static_cast<int>(length)).trimmed();
    if (command == "minimise") frame.setWindowState(Qt::WindowMinimized);
    if (command == "show") frame.ShowNormalOnTop();
  });
  return QApplication::exec();
}
