#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <string>
#include <vector>

#include "app/CommandEvent.h"
#include "app/MainFrame.h"
#include "db/DupesEndpoints.h"
#include "platform/QtShell.h"
#include "platform/WindowSystem.h"
#include "res/ResourceIds.h"
#include "res/Version.h"
#include "search/NfoText.h"
#include "search/NfoViewerDlg.h"
#include "search/StatisticsDlg.h"
#include "tests/support/GuiTestApp.h"
#include "tests/support/RecordingShell.h"

namespace {

// A view that takes the commands it is given and records them.
class CommandView : public QWidget {
 public:
  bool takeCommands = true;
  std::vector<unsigned> commands;
  std::vector<unsigned>* log = &commands;  // may outlive the view

 protected:
  bool event(QEvent* e) override {
    if (e->type() == CCommandEvent::EventType()) {
      log->push_back(static_cast<CCommandEvent*>(e)->Id());
      return takeCommands;
    }
    return QWidget::event(e);
  }
};

// Runs check on the next pop-up menu that opens, then picks the item captioned pick (or closes
// the menu when pick is empty).
void OnNextMenu(std::function<void(QMenu*)> check, QString pick) {
  QTimer::singleShot(50, [check, pick] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    check(menu);
    for (QAction* action : menu->actions()) {
      if (action->text() == pick) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        return;
      }
    }
    menu->close();
  });
}

void Settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

TEST(MainFrame, FixedSizeTitledCaptionWithMinimiseButNoMaximise) {
  RecordingShell shell;
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kestrel " KESTREL_VERSION));
  EXPECT_EQ(frame.size(), QSize(460, 375));
  EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
  const Qt::WindowFlags flags = frame.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(frame.windowIcon().isNull());
  EXPECT_FALSE(frame.isVisible());  // created hidden
  EXPECT_EQ(shell.Calls().size(), 0u);
  const QRect desktop = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(frame.pos(), CMainFrame::FrameRect(desktop).topLeft());
}

TEST(MainFrame, CentringHalvesTheSpareRoomAndDropsTheRemainder) {
  EXPECT_EQ(CMainFrame::FrameRect(QRect(0, 0, 1920, 1080)), QRect(730, 352, 460, 375));
  EXPECT_EQ(CMainFrame::FrameRect(QRect(0, 0, 1025, 768)), QRect(282, 196, 460, 375));
  // Smaller than the frame: the offset truncates toward zero, as the integer halving does.
  EXPECT_EQ(CMainFrame::FrameRect(QRect(0, 0, 401, 300)).topLeft(), QPoint(-29, -37));
  // A primary screen right of or below another one: the same place on that screen.
  EXPECT_EQ(CMainFrame::FrameRect(QRect(1920, 0, 1920, 1080)), QRect(2650, 352, 460, 375));
  EXPECT_EQ(CMainFrame::FrameRect(QRect(-1280, 1024, 1025, 768)), QRect(-998, 1220, 460, 375));
}

TEST(MainFrame, TrayIconIsAddedOnceOnFirstShowOrHide) {
  RecordingShell shell;
  auto* frame = new CMainFrame;
  frame->show();
  ASSERT_EQ(shell.Count(NIM_ADD), 1);
  const NOTIFYICONDATA& record = shell.Calls().front().data;
  EXPECT_EQ(record.cbSize, 88u);
  EXPECT_EQ(record.uID, 1u);
  EXPECT_EQ(record.uFlags, 7u);
  EXPECT_EQ(record.uCallbackMessage, 0x401u);
  EXPECT_STREQ(record.szTip, "Kestrel");
  EXPECT_EQ(record.hIcon, &frame->FrameIcon());
  EXPECT_EQ(record.hWnd, static_cast<ShellNotifySink*>(frame));
  frame->hide();
  frame->show();
  frame->hide();
  EXPECT_EQ(shell.Count(NIM_ADD), 1);
  EXPECT_EQ(shell.Present(), 1);
  delete frame;
  EXPECT_EQ(shell.Present(), 0);
}

TEST(MainFrame, StartHiddenAfterTheFirstShowLeavesExactlyOneIcon) {
  RecordingShell shell;
  auto* frame = new CMainFrame;
  frame->show();
  frame->hide();
  EXPECT_EQ(shell.Present(), 1);
  EXPECT_FALSE(frame->isVisible());
  delete frame;
}

TEST(MainFrame, RefusedIconIsTriedAgainOnTheNextShowOrHide) {
  RecordingShell shell;
  shell.acceptAdd = false;
  auto* frame = new CMainFrame;
  frame->show();
  EXPECT_FALSE(frame->IsTrayIconShown());
  shell.acceptAdd = true;
  frame->hide();
  EXPECT_TRUE(frame->IsTrayIconShown());
  EXPECT_EQ(shell.Count(NIM_ADD), 2);
  delete frame;
}

TEST(MainFrame, MinimisingHidesIntoTheTrayButOnlyWhenThereIsOne) {
  {
    RecordingShell shell;
    auto* frame = new CMainFrame;
    frame->show();
    frame->setWindowState(Qt::WindowMinimized);
    Settle();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(shell.Present(), 1);
    // A left click on the icon brings it back, normal and on top.
    EXPECT_TRUE(shell.Click(WM_LBUTTONDOWN));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->windowState() & Qt::WindowMinimized);
    delete frame;
  }
  {
    RecordingShell shell;
    shell.acceptAdd = false;  // a desktop without a notification area
    auto* frame = new CMainFrame;
    frame->show();
    frame->setWindowState(Qt::WindowMinimized);
    Settle();
    EXPECT_TRUE(frame->isVisible());  // still reachable
    delete frame;
  }
}

TEST(MainFrame, DoubleClickAndForeignIdsDoNothing) {
  RecordingShell shell;
  auto* frame = new CMainFrame;
  frame->show();
  frame->hide();
  EXPECT_TRUE(shell.Click(WM_LBUTTONDBLCLK));
  EXPECT_FALSE(frame->isVisible());
  frame->OnShellNotify(WM_TRAYNOTIFY, 2, WM_LBUTTONDOWN);  // another icon's id
  EXPECT_FALSE(frame->isVisible());
  frame->OnShellNotify(WM_TRAYNOTIFY + 1, 1, WM_LBUTTONDOWN);  // another message
  EXPECT_FALSE(frame->isVisible());
  EXPECT_TRUE(shell.Click(WM_MOUSEMOVE));
  EXPECT_FALSE(frame->isVisible());
  frame->OnShellNotify(WM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
  EXPECT_TRUE(frame->isVisible());
  delete frame;
}

TEST(MainFrame, RightClickOpensTheTrayMenuAtTheCursorAndRoutesItsCommandToTheView) {
  RecordingShell shell;
  auto* frame = new CMainFrame;
  auto* view = new CommandView;
  frame->SetView(view);
  EXPECT_EQ(view->geometry(), frame->rect());
  frame->show();
  frame->hide();  // the menu opens even with the frame hidden
  QCursor::setPos(300, 200);
  QStringList captions;
  QPoint at;
  OnNextMenu(
      [&](QMenu* menu) {
        for (QAction* a : menu->actions()) captions << a->text();
        at = menu->pos();
      },
      QStringLiteral("&Show Kestrel"));
  EXPECT_TRUE(shell.Click(WM_RBUTTONDOWN));
  Settle();
  EXPECT_EQ(captions, (QStringList{QStringLiteral("&Show Kestrel"), QStringLiteral("&Exit Kestrel")}));
  EXPECT_EQ(at, QCursor::pos());
  ASSERT_EQ(view->commands.size(), 1u);
  EXPECT_EQ(view->commands[0], ID_SHOW_KESTREL);
  EXPECT_FALSE(frame->isVisible());  // the view took the command; showing is the form's business
  delete frame;
}

TEST(MainFrame, WithoutAViewTheFrameShowsItselfOrEndsOnTheTrayCommands) {
  RecordingShell shell;
  QPointer<CMainFrame> frame = new CMainFrame;
  frame->show();
  frame->hide();
  OnNextMenu([](QMenu*) {}, QStringLiteral("&Show Kestrel"));
  shell.Click(WM_RBUTTONDOWN);
  Settle();
  EXPECT_TRUE(frame->isVisible());

  // The view declines: the frame handles it.
  auto* view = new CommandView;
  std::vector<unsigned> offered;
  view->log = &offered;
  view->takeCommands = false;
  frame->SetView(view);
  OnNextMenu([&](QMenu*) {}, QStringLiteral("&Exit Kestrel"));
  shell.Click(WM_RBUTTONDOWN);
  Settle();
  EXPECT_EQ(offered, std::vector<unsigned>{ID_EXIT_KESTREL});
  EXPECT_TRUE(frame.isNull());
  EXPECT_EQ(shell.Count(NIM_DELETE), 1);
  EXPECT_EQ(shell.Present(), 0);
}

// The statistics window (a Qt child window) and an NFO viewer (owned without being a Qt child)
// hide with the frame and come back with it, in their places and not minimised; a window the
// user closed stays closed.
TEST(MainFrame, OwnedWindowsHideIntoTheTrayWithTheFrameAndComeBackWithIt) {
  RecordingShell shell;
  auto* frame = new CMainFrame;
  frame->show();
  QPointer<CNfoViewerDlg> viewer = new CNfoViewerDlg(frame);
  viewer->ShowNfo("Some.Release-GRP", PrepareNfoText("text"));
  QPointer<CNfoViewerDlg> closed = new CNfoViewerDlg(frame);
  closed->ShowNfo("Other.Release-GRP", PrepareNfoText("text"));
  closed->accept();
  // Nobody listens on port 9 of this address.
  QPointer<CStatisticsDlg> statistics =
      CStatisticsDlg::Open(DupesEndpoints{"127.0.0.1", "127.0.0.1", 9, 9, 1, 0}, frame);
  viewer->move(viewer->pos() + QPoint(31, 17));
  Settle();
  const QPoint viewerAt = viewer->pos();
  const QPoint statisticsAt = statistics->pos();
  const auto comesBack = [&](const char* how) {
    SCOPED_TRACE(how);
    for (QWidget* window : {static_cast<QWidget*>(viewer.data()), static_cast<QWidget*>(statistics.data())}) {
      EXPECT_TRUE(window->isVisible()) << window->metaObject()->className();
      EXPECT_FALSE(window->windowState() & Qt::WindowMinimized) << window->metaObject()->className();
    }
    EXPECT_EQ(viewer->pos(), viewerAt);
    EXPECT_EQ(statistics->pos(), statisticsAt);
    EXPECT_FALSE(closed->isVisible());
  };

  // An X11 window manager minimises a transient window with its owner.
  statistics->setWindowState(Qt::WindowMinimized);
  frame->setWindowState(Qt::WindowMinimized);
  Settle();
  ASSERT_FALSE(frame->isVisible());
  EXPECT_FALSE(viewer->isVisible());
  EXPECT_FALSE(statistics->isVisible());
  EXPECT_TRUE(shell.Click(WM_LBUTTONDOWN));
  Settle();
  comesBack("a click on the icon");

  frame->setWindowState(Qt::WindowMinimized);
  Settle();
  EXPECT_FALSE(viewer->isVisible());
  frame->OnCommand(ID_SHOW_KESTREL);
  Settle();
  comesBack("&Show Kestrel");

  delete frame;
  EXPECT_TRUE(viewer.isNull());
  EXPECT_TRUE(statistics.isNull());
}

// Nothing the window system or the decoration asks for maximises a fixed-size window: the frame
// and a message box keep their size and come back to the normal state.
TEST(MainFrame, FixedSizeWindowsTurnAMaximiseRequestBack) {
  KeepFixedSizeWindowsUnmaximised();
  RecordingShell shell;
  CMainFrame frame;
  frame.show();
  QMessageBox box(&frame);
  box.setText("text");
  box.show();
  Settle();
  for (QWidget* window : {static_cast<QWidget*>(&frame), static_cast<QWidget*>(&box)}) {
    const QSize size = window->size();
    window->windowHandle()->setWindowStates(Qt::WindowMaximized);
    EXPECT_TRUE(WaitUntil([&] { return !(window->windowState() & Qt::WindowMaximized); }, 5000))
        << window->metaObject()->className();
    EXPECT_EQ(window->size(), size);
    EXPECT_TRUE(window->updatesEnabled());
  }
  // A window that may change its size is left to the user.
  QWidget sizable;
  sizable.show();
  sizable.windowHandle()->setWindowStates(Qt::WindowMaximized);
  EXPECT_TRUE(WaitUntil([&] { return sizable.isMaximized(); }, 5000));
  Settle();
  EXPECT_TRUE(sizable.isMaximized());
}

TEST(MainFrame, ClosingRemovesTheIconFirstThenDestroysTheFrame) {
  RecordingShell shell;
  QPointer<CMainFrame> frame = new CMainFrame;
  frame->show();
  bool iconGoneWhileFrameAlive = false;
  QObject::connect(frame, &QObject::destroyed, [&] { iconGoneWhileFrameAlive = shell.Present() == 0; });
  frame->close();
  EXPECT_EQ(shell.Present(), 0);  // at once, not at the deletion
  EXPECT_FALSE(frame->isVisible());
  Settle();
  EXPECT_TRUE(frame.isNull());
  EXPECT_TRUE(iconGoneWhileFrameAlive);
  EXPECT_EQ(shell.Count(NIM_ADD), 1);  // hiding on the way out does not put it back
}

TEST(TrayIcon, StateFollowsTheShellsAnswers) {
  RecordingShell shell;
  CTrayIcon tray;
  tray.SetVisible(true);  // before Create: nothing
  EXPECT_EQ(shell.Calls().size(), 0u);
  QWidget owner;
  const std::string longTip(80, 'k');
  tray.Create(&owner, nullptr, 7, longTip.c_str());
  EXPECT_EQ(shell.Calls().size(), 0u);
  tray.SetVisible(true);
  EXPECT_TRUE(tray.IsShown());
  EXPECT_EQ(std::string(shell.Calls().back().data.szTip), std::string(63, 'k'));
  EXPECT_EQ(shell.Calls().back().data.hWnd, nullptr);  // a plain widget gets no notifications
  tray.SetVisible(true);                               // already shown: no second add
  EXPECT_EQ(shell.Count(NIM_ADD), 1);
  shell.acceptDelete = false;
  tray.SetVisible(false);
  EXPECT_TRUE(tray.IsShown());
  shell.acceptDelete = true;
  tray.SetVisible(false);
  EXPECT_FALSE(tray.IsShown());
  EXPECT_EQ(shell.Count(NIM_DELETE), 2);
  {
    CTrayIcon shown;
    shown.Create(&owner, nullptr, 8, nullptr);
    shown.SetVisible(true);
    EXPECT_STREQ(shell.Calls().back().data.szTip, "");
  }
  EXPECT_EQ(shell.Present(), 0);  // destroyed while shown: removed
}

TEST(TrayIcon, NoShellMeansNoIcon) {
  auto previous = SetShellNotifyHandler(nullptr);
  CTrayIcon tray;
  QWidget owner;
  tray.Create(&owner, nullptr, 1, "Kestrel");
  tray.SetVisible(true);
  EXPECT_FALSE(tray.IsShown());
  SetShellNotifyHandler(previous);
}

TEST(QtShell, OffscreenHasNoNotificationAreaSoTheFrameStaysAnOrdinaryWindow) {
  auto previous = SetShellNotifyHandler(nullptr);
  InstallQtShell();
  auto* frame = new CMainFrame;
  frame->show();
  EXPECT_FALSE(frame->IsTrayIconShown());
  frame->setWindowState(Qt::WindowMinimized);
  Settle();
  EXPECT_TRUE(frame->isVisible());
  delete frame;
  SetShellNotifyHandler(previous);
}
