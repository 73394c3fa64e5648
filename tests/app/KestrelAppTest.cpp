#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <map>

#include "app/CommandEvent.h"
#include "app/KestrelApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/SplashDlg.h"
#include "controls/HistoryCombo.h"
#include "platform/MessageBox.h"
#include "platform/QtMessageBox.h"
#include "res/Artwork.h"
#include "res/ResourceIds.h"
#include "res/Version.h"
#include "search/KestrelView.h"
#include "search/NfoViewerDlg.h"
#include "tests/support/FindById.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/SettingsFixture.h"
#include "tests/support/SilentListener.h"

namespace {

constexpr int kSplashPeriod = 150;

class KestrelApp : public SettingsFixture {
 protected:
  void SetUp() override { SettingsFixture::SetUp(); }

  // Runs start-up and notes whether a splash screen was up meanwhile.
  bool Start() {
    app = std::make_unique<CKestrelApp>(DupesEndpoints{}, kSplashPeriod);
    // Tied to the fixture: a start without a splash leaves the timer pending past this test.
    QTimer::singleShot(kSplashPeriod / 3, &timerOwner, [this] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<CSplashDlg*>(w) && w->isVisible()) sawSplash = true;
    });
    return app->InitInstance();
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (const auto& box : boxes.Boxes()) captions.push_back(box.caption);
    return captions;
  }
  void PutVersion(unsigned version) {
    CreateSettingsKey();
    WriteVersion(version & 0xFF, version >> 8);
    CloseSettingsKey();
  }

  RecordingMessageBox boxes;
  RecordingShell shell;
  std::unique_ptr<CKestrelApp> app;
  bool sawSplash = false;
  QObject timerOwner;
};

TEST_F(KestrelApp, FirstStartGreetsOnceThenSplashThenTheWindow) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(Captions(), std::vector<std::string>{"First Time Usage"});
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Thank you for using Kestrel!\nPlease read the help file (Kestrel.hlp) for information");
  EXPECT_EQ(boxes.Boxes()[0].flags, MB_OK | MB_ICONINFORMATION);
  EXPECT_TRUE(sawSplash);
  ASSERT_NE(app->MainFrame(), nullptr);
  EXPECT_TRUE(app->MainFrame()->isVisible());
  EXPECT_EQ(shell.Present(), 1);
  EXPECT_EQ(app->MainFrame()->findChild<CKestrelView*>()->StatusText(), "Idle");
  EXPECT_NE(FileText().find("\"Version\"=dword:0000004b"), std::string::npos);

  // The next start says nothing.
  app.reset();
  boxes.Clear();
  ASSERT_TRUE(Start());
  EXPECT_TRUE(boxes.Boxes().empty());
}

// The window manager shows the icon of a window's platform window: every window carries ours,
// the first-run notice before the main window included, and viewers and boxes of no owner's icon.
TEST_F(KestrelApp, EveryWindowCarriesOurIcon) {
  InstallQtMessageBox();
  const QImage ours = LoadIconResource(IDR_MAINFRAME).pixmap(32).toImage();
  const auto carriesOurs = [&](QWidget* w) {
    return w->windowHandle() && w->windowHandle()->icon().pixmap(32).toImage() == ours;
  };
  // Each kind of window seen on screen, and whether every one carried our icon.
  std::map<std::string, bool> seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      seen.try_emplace(w->metaObject()->className(), true).first->second &= carriesOurs(w);
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
    }
  });
  poll.start(10);
  ASSERT_TRUE(Start());
  auto* viewer = new CNfoViewerDlg(app->MainFrame());
  viewer->show();
  ShowMessageBox(viewer, "Cannot execute SQL!", "Kestrel Error", MB_OK);
  EXPECT_EQ(seen,
            (std::map<std::string, bool>{
                {"CMainFrame", true}, {"CNfoViewerDlg", true}, {"CSplashDlg", true}, {"QMessageBox", true}}));
}

TEST_F(KestrelApp, StartMinimizedShowsOnlyTheTrayIcon) {
  PutVersion(75);
  ASSERT_TRUE(OpenSettingsKey());
  WriteStartMinimized(true);
  CloseSettingsKey();
  ASSERT_TRUE(Start());
  QTest::qWait(50);
  EXPECT_FALSE(sawSplash);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_FALSE(app->MainFrame()->isVisible());
  EXPECT_EQ(shell.Present(), 1);
  EXPECT_EQ(shell.Count(NIM_ADD), 1);
  // The form was set up all the same: its inputs are there to be saved.
  EXPECT_EQ(app->MainFrame()->findChild<CKestrelView*>()->StatusText(), "Idle");
  EXPECT_TRUE(app->MainFrame()->findChild<CKestrelView*>()->IsStartMinimized());
  // A click on the tray icon brings the window back.
  EXPECT_TRUE(shell.Click(WM_LBUTTONDOWN));
  EXPECT_TRUE(app->MainFrame()->isVisible());
  // So does "&Show Kestrel" from the tray's menu, the form in the frame passing it on.
  app->MainFrame()->hide();
  CCommandEvent::Post(app->MainFrame(), ID_SHOW_KESTREL);
  QCoreApplication::processEvents();
  EXPECT_TRUE(app->MainFrame()->isVisible());
}

TEST_F(KestrelApp, WithoutANotificationAreaAHiddenStartShowsTheWindow) {
  PutVersion(75);
  ASSERT_TRUE(OpenSettingsKey());
  WriteStartMinimized(true);
  CloseSettingsKey();
  shell.acceptAdd = false;
  ASSERT_TRUE(Start());
  EXPECT_TRUE(app->MainFrame()->isVisible());
  // Minimising then leaves an ordinary minimised window, not a hidden one.
  app->MainFrame()->showMinimized();
  QTest::qWait(20);
  EXPECT_TRUE(app->MainFrame()->isVisible());
}

TEST_F(KestrelApp, ADocumentNamedOnTheCommandLineMustBeReadable) {
  CKestrelApp kestrel(DupesEndpoints{});
  EXPECT_TRUE(kestrel.OpenCommandLineDocument({}));
  WriteWholeFile(m_dir.file("saved.kes"), "");
  EXPECT_TRUE(kestrel.OpenCommandLineDocument({"-platform", m_dir.file("saved.kes").c_str()}));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_FALSE(kestrel.OpenCommandLineDocument({"/nonexistent/file.kes"}));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Failed to open document.");
  EXPECT_EQ(boxes.Boxes()[0].caption, "Kestrel " KESTREL_VERSION);
}

TEST_F(KestrelApp, OlderVersionsAreUpgradedOnce) {
  PutVersion(74);
  ASSERT_TRUE(Start());
  EXPECT_EQ(Captions(), std::vector<std::string>{"Upgrade Complete"});
  app.reset();
  boxes.Clear();
  PutVersion(76);
  ASSERT_TRUE(Start());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(KestrelApp, QuitSavesTheInputsRemovesTheIconAndEndsTheLoop) {
  PutVersion(75);
  ASSERT_TRUE(Start());
  QSignalSpy ended(app.get(), &CKestrelApp::mainWindowDestroyed);
  FindById<QLineEdit>(*app->MainFrame(), IDC_LIMIT)->setText("33");
  QTest::mouseClick(FindById<QPushButton>(*app->MainFrame(), IDC_QUIT), Qt::LeftButton);
  EXPECT_EQ(shell.Present(), 0);
  ASSERT_TRUE(ended.wait(2000));
  EXPECT_EQ(app->MainFrame(), nullptr);
  ASSERT_TRUE(OpenSettingsKey());
  int32_t limit = 0;
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, 33);
  CloseSettingsKey();
}

TEST_F(KestrelApp, ASettingsFileDeletedWhileRunningIsNoHarm) {
  PutVersion(75);
  ASSERT_TRUE(Start());
  QSignalSpy ended(app.get(), &CKestrelApp::mainWindowDestroyed);
  FindById<CHistoryCombo>(*app->MainFrame(), IDC_MASK)->setEditText("kept");
  FindById<CHistoryCombo>(*app->MainFrame(), IDC_MASK)->AddToHistory();
  std::filesystem::remove_all(m_dir.path() + "/Harrow");
  QTest::mouseClick(FindById<QPushButton>(*app->MainFrame(), IDC_QUIT), Qt::LeftButton);
  ASSERT_TRUE(ended.wait(2000));
  EXPECT_TRUE(boxes.Boxes().empty());
  // The key went with the file, so the inputs are lost silently; the history makes its own key
  // again and the new file reads back whole.
  EXPECT_NE(FileText().find("\"MaskHistory\"=\"kept\""), std::string::npos) << FileText();
  EXPECT_EQ(FileText().find("\"Limit\""), std::string::npos);
  EXPECT_EQ(CountFiles("Kestrel.reg.bad-"), 0);
}

TEST_F(KestrelApp, QuietQuitKeepsAnUnreadableLimitSilently) {
  PutVersion(75);
  ASSERT_TRUE(Start());
  QSignalSpy ended(app.get(), &CKestrelApp::mainWindowDestroyed);
  FindById<QLineEdit>(*app->MainFrame(), IDC_LIMIT)->setText("many");
  app->QuitQuietly();
  ASSERT_TRUE(ended.wait(2000));
  EXPECT_TRUE(boxes.Boxes().empty());
  ASSERT_TRUE(OpenSettingsKey());
  int32_t limit = 0;
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, 20);
  CloseSettingsKey();
}

TEST_F(KestrelApp, QuitDuringASearchStopsTheWorkerAtOnce) {
  PutVersion(75);
  SilentListener silent;
  // A probe of ten minutes: a quit that waited for it would end at the test's time-out.
  DupesEndpoints ends{silent.address(), silent.address()};
  ends.m_nProbeSeconds = 600;
  app = std::make_unique<CKestrelApp>(ends, kSplashPeriod);
  ASSERT_TRUE(app->InitInstance());
  QSignalSpy ended(app.get(), &CKestrelApp::mainWindowDestroyed);
  FindById<CHistoryCombo>(*app->MainFrame(), IDC_MASK)->setEditText("shadow");
  QTest::mouseClick(FindById<QPushButton>(*app->MainFrame(), IDC_DUPE), Qt::LeftButton);
  std::shared_ptr<WorkerRun> run = app->MainFrame()->findChild<CKestrelView*>()->RunningWorker();
  ASSERT_NE(run, nullptr);
  QTest::qWait(100);
  QTest::mouseClick(FindById<QPushButton>(*app->MainFrame(), IDC_QUIT), Qt::LeftButton);
  ASSERT_TRUE(ended.count() > 0 || ended.wait(60000));
  EXPECT_TRUE(run->WaitFinished(60000));
  EXPECT_FALSE(WorkerRun::AnyUnfinished());
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
