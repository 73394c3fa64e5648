#include "app/KestrelMain.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/KestrelApp.h"
#include "app/QuitSignals.h"
#include "db/DupesConnection.h"
#include "platform/Diagnostics.h"
#include "platform/QtFileDialog.h"
#include "platform/QtMessageBox.h"
#include "platform/QtShell.h"
#include "platform/SocketsStartup.h"
#include "platform/WindowSystem.h"
#include "platform/WorkerRun.h"
#include "res/AppIdentity.h"
#include "res/Texts.h"

namespace {

// While the toolkit starts, its messages wait: when it cannot open the display it ends the
// process with a fatal message, an abort. Say so in one line and exit 1 instead.
std::vector<std::pair<QtMsgType, QString>> g_startMessages;

void HoldStartMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) {
    ReportFailure(kTextDisplayFailed);
    std::_Exit(1);
  }
  g_startMessages.emplace_back(type, text);
}

// A worker blocked inside the C library may hold a stream's lock for ever (a read of standard
// input does): the two streams we write are flushed only when their lock is free at once. No
// other file of ours goes through stdio.
void FlushStreamsNotHeld() {
  for (std::FILE* stream : {stdout, stderr}) {
    if (::ftrylockfile(stream) != 0) continue;
    ::fflush_unlocked(stream);
    ::funlockfile(stream);
  }
}

}  // namespace

int RunKestrel(int argc, char** argv, const DupesEndpoints& endpoints,
               const std::function<void(CKestrelApp&)>& beforeStart) {
  CatchQuitSignals();
  if (!NamesWindowSystem(argc, argv)) {
    ReportFailure(kTextNoDisplay);
    return 1;
  }
  InitDupesLibrary();  // before any thread
  const QtMessageHandler handler = qInstallMessageHandler(HoldStartMessage);
  QApplication app(argc, argv);
  qInstallMessageHandler(handler);
  for (const auto& [type, text] : std::exchange(g_startMessages, {})) {
    if (handler) handler(type, QMessageLogContext(), text);
  }
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
  // Wayland compositors find the desktop entry, and so the icon, by this id.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntryId));
  // Viewers, the statistics window and message boxes close without ending the program.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallQtMessageBox();
  InstallQtFileDialog();
  InstallQtShell();
  KeepFixedSizeWindowsUnmaximised();

  CKestrelApp theApp(endpoints);
  QObject::connect(&theApp, &CKestrelApp::mainWindowDestroyed, &app, &QCoreApplication::quit);
  OnQuitSignal([&theApp] { theApp.QuitQuietly(); });
  if (beforeStart) beforeStart(theApp);
  if (!theApp.InitInstance()) return theApp.QuitRequested() ? 0 : 1;

  const int code = QApplication::exec();
  WSACleanup();
  // A worker still inside a library call is not waited for: settings and history are saved, so
  // leave without running destructors under it.
  if (WorkerRun::AnyUnfinished()) {
    WorkerRun::StopAll();
    FlushStreamsNotHeld();
    std::quick_exit(code);
  }
  return code;
}
