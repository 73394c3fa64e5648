// The program's three kinds of window, shown on the display the environment names, for the
// decorations test: prints "<window> <X window id>" for each once it is shown, then runs until
// its standard input closes. The lines "minimise" and "show" on it minimise and show the frame;
// "hidden" is printed once the frame has gone into the tray.
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

#include "app/MainFrame.h"
#include "db/DupesEndpoints.h"
#include "platform/Shell.h"
#include "search/NfoText.h"
#include "search/NfoViewerDlg.h"
#include "search/StatisticsDlg.h"

namespace {

// What the window manager's minimise button or a task bar asks for: the client message
// WM_CHANGE_STATE(IconicState) to the root window. Minimising from inside the program instead
// would mark the window iconic in its own hints, which no user's minimise does.
void AskWindowManagerToMinimise(QWidget& window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11->connection();
  static constexpr char kName[] = "WM_CHANGE_STATE";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(window.winId());
  message.type = atom->atom;
  message.data.data32[0] = 3;  // IconicState
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_send_event(connection, false, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
  std::free(atom);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // A notification area that takes the icon: minimised, the frame hides into it.
  SetShellNotifyHandler([](uint32_t, const NOTIFYICONDATA&) { return true; });
  CMainFrame frame;
  frame.show();
  std::printf("main 0x%llx\n", static_cast<unsigned long long>(frame.winId()));
  QObject::connect(frame.windowHandle(), &QWindow::visibleChanged, [](bool visible) {
    if (visible) return;
    std::puts("hidden");
    std::fflush(stdout);
  });

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
    if (command == "minimise") AskWindowManagerToMinimise(frame);
    if (command == "show") frame.ShowNormalOnTop();
  });
  return QApplication::exec();
}
