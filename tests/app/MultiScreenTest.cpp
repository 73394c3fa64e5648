// Kestrel's windows on a desktop of two monitors whose primary one does not start at 0, 0: each
// is placed whole on the primary screen, centred there as on a single monitor.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "app/MainFrame.h"
#include "app/SplashDlg.h"
#include "search/NfoViewerDlg.h"
#include "search/StatisticsDlg.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/TempDir.h"

namespace {

// Either screen may be the primary one: neither starts at 0, 0.
const char kScreens[] = R"({"screens": [
  {"name": "A", "x": 1920, "y": 0, "width": 1920, "height": 1080},
  {"name": "B", "x": 0, "y": 1080, "width": 1600, "height": 900}]})";

// Within a few pixels: a window centred before its decorations are known is off by half of them.
void ExpectCentredOn(const QRect& window, const QRect& area, const char* what) {
  EXPECT_TRUE(area.contains(window)) << what;
  EXPECT_LE(std::abs(window.center().x() - area.center().x()), 8) << what;
  EXPECT_LE(std::abs(window.center().y() - area.center().y()), 8) << what;
}

TEST(MultiScreen, EveryWindowIsCentredOnThePrimaryScreen) {
  QScreen* primary = QGuiApplication::primaryScreen();
  ASSERT_EQ(QGuiApplication::screens().size(), 2);
  ASSERT_NE(primary->geometry().topLeft(), QPoint(0, 0));

  RecordingShell shell;
  auto* frame = new CMainFrame;
  frame->show();
  EXPECT_EQ(frame->screen(), primary);
  ExpectCentredOn(frame->frameGeometry(), primary->geometry(), "frame");

  CSplashDlg splash(nullptr, 100);
  QRect splashRect;
  QTimer::singleShot(50, &splash, [&] { splashRect = splash.frameGeometry(); });
  splash.exec();
  ExpectCentredOn(splashRect, primary->availableGeometry(), "splash");

  auto* viewer = new CNfoViewerDlg(frame);
  viewer->show();
  ExpectCentredOn(viewer->frameGeometry(), primary->availableGeometry(), "viewer");

  CStatisticsDlg* statistics = CStatisticsDlg::Open(DupesEndpoints{}, frame);
  ExpectCentredOn(statistics->frameGeometry(), primary->availableGeometry(), "statistics");
  // The viewer and the statistics window go with their owner, before the check starts.
  delete frame;
}

}  // namespace

int main(int argc, char** argv) {
  TempDir folder;
  WriteWholeFile(folder.file("screens.json"), kScreens);
  ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + folder.file("screens.json")).c_str(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
