#include "app/KestrelMain.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/KestrelApp.h"
#include "app/QuitSignals.h"
#include "db/DupesConnection.h"
#include "db/WorkerRun.h"
#include "platform/QtFileDialog.h"
#include "platform/QtMessageBox.h"
#include "platform/QtShell.h"
#include "platform/SocketsStartup.h"
#include "res/AppIdentity.h"

int RunKestrel(int argc, char** argv, const DupesEndpoints& endpoints,
               const std::function<void(CKestrelApp&)>& beforeStart) {
  CatchQuitSignals();
  InitDupesLibrary();  // before any thread
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
  // Wayland compositors find the desktop entry, and so the icon, by this id.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntryId));
  // Viewers, the statistics window and message boxes close without ending the program.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallQtMessageBox();
  InstallQtFileDialog();
  InstallQtShell();

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
    std::fflush(nullptr);
    std::quick_exit(code);
  }
  return code;
}
