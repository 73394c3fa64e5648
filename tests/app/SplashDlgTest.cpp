#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/SplashDlg.h"

TEST(SplashDlg, ShowsTheBitmapCentredBorderlessAndClosesOnAClick) {
  // A timer of ten minutes: only the click can end the dialog before the test's time-out.
  CSplashDlg splash(nullptr, 600000);
  EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
  QRect shown;
  QSize picture;
  QTimer::singleShot(100, [&] {
    shown = splash.geometry();
    ASSERT_NE(splash.Picture(), nullptr);
    picture = splash.Picture()->pixmap().size();
    QTest::mouseClick(splash.Picture(), Qt::LeftButton, {}, QPoint(100, 100));
  });
  EXPECT_EQ(splash.exec(), 0);
  EXPECT_EQ(picture, QSize(346, 259));
  EXPECT_EQ(shown.size(), QSize(346, 259));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(std::abs(shown.center().x() - area.center().x()), 1);
  EXPECT_LE(std::abs(shown.center().y() - area.center().y()), 1);
}

TEST(SplashDlg, RightClickDoesNotCloseItButTheTimerDoes) {
  CSplashDlg splash;
  QElapsedTimer clock;
  bool stillOpen = false;
  QTimer::singleShot(200, [&] {
    QTest::mouseClick(&splash, Qt::RightButton, {}, QPoint(10, 10));
    stillOpen = splash.isVisible();
  });
  clock.start();
  EXPECT_EQ(splash.exec(), 0);
  const qint64 elapsed = clock.elapsed();
  EXPECT_TRUE(stillOpen);
  EXPECT_GE(elapsed, 3950);
}
