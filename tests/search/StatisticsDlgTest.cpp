#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "db/DupesConnection.h"
#include "platform/SettingsFile.h"
#include "platform/WorkerRun.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "search/StatisticsDlg.h"
#include "tests/support/FindById.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TempDir.h"

namespace {

SharedDbServer sharedPrimary("primary", [](TestDbServer& s) {
  s.AddGeneratedDupes(12, "Gui");
  s.SetLastUpdate("2023-12-24", "18:00:00");
});

SharedDbServer sharedHostile("hostile",
                             [](TestDbServer& s) { s.SetLastUpdate("2023-12-24\x1b[8m", "18:00\r\n\x07"); });

struct Servers {
  TestDbServer& primary = *sharedPrimary;
  LoopbackAddress refused;
};

Servers& S() {
  static Servers servers;
  return servers;
}

QString FieldText(QWidget* dlg, int id) {
  auto* label = qobject_cast<QLabel*>(GetDlgItem(dlg, id));
  return label ? label->text() : QStringLiteral("(missing)");
}

// A field as a screen reader speaks it: its label, its name, then its description.
std::string ReadAloud(QWidget* dlg, int id) {
  QAccessibleInterface* field = QAccessible::queryAccessibleInterface(GetDlgItem(dlg, id));
  if (!field) return "(missing)";
  QStringList spoken;
  for (const auto& relation : field->relations(QAccessible::Label))
    spoken << relation.first->text(QAccessible::Name);
  return (spoken << field->text(QAccessible::Name) << field->text(QAccessible::Description))
      .join(" | ")
      .toStdString();
}

// Each status text as it appears, with whether OK was enabled at that moment.
struct StatusLog {
  QStringList texts;
  void Watch(CStatisticsDlg* dlg, const QString& tag = QString()) {
    QObject::connect(
        FindById<QLineEdit>(*dlg, IDC_STATS_STATUS), &QLineEdit::textChanged, dlg,
        [this, dlg, tag](const QString& text) {
          texts << tag + text + (FindById<QPushButton>(*dlg, IDOK_CONTROL)->isEnabled() ? " (OK on)" : "");
        });
  }
};

bool WaitDone(CStatisticsDlg* dlg, int milliseconds = 15000) {
  return QTest::qWaitFor([&] { return FindById<QPushButton>(*dlg, IDOK_CONTROL)->isEnabled(); },
                         milliseconds);
}

class StatisticsDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }
  void SetUp() override {
    SettingsFile::Shared().SetPath(m_dir.file("Harrow/Kestrel.reg"));
    owner = std::make_unique<QWidget>();
    owner->resize(300, 200);
    owner->show();
  }
  void TearDown() override {
    owner.reset();
    SettingsFile::Shared().SetPath("");
  }

  TempDir m_dir;
  std::unique_ptr<QWidget> owner;
};

TEST_F(StatisticsDlgTest, ShowsCheckingThenEachStepAndEnablesOkOnlyWhenDone) {
  QElapsedTimer clock;
  clock.start();
  CStatisticsDlg* dlg =
      CStatisticsDlg::Open(TestEndpoints(S().primary.address(), S().refused.address()), owner.get());
  StatusLog log;
  log.Watch(dlg);
  qint64 firstStatus = -1;
  QObject::connect(FindById<QLineEdit>(*dlg, IDC_STATS_STATUS), &QLineEdit::textChanged, dlg, [&] {
    if (firstStatus < 0) firstStatus = clock.elapsed();
  });

  // The window as it opens: a modeless pop-up without caption or system menu, centred, that
  // draws its own frame (the look test sees it).
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isModal());
  EXPECT_EQ(dlg->windowType(), Qt::Dialog);
  EXPECT_FALSE(dlg->windowFlags() & (Qt::WindowTitleHint | Qt::WindowSystemMenuHint));
  const QRect area = dlg->screen()->availableGeometry();
  const QPointF offCentre = QRectF(dlg->frameGeometry()).center() - QRectF(area).center();
  EXPECT_LE(qAbs(offCentre.x()), 1.0);
  EXPECT_LE(qAbs(offCentre.y()), 1.0);
  const int frame = 2 * CStatisticsDlg::kFrameWidth;
  EXPECT_EQ(dlg->size(),
            DialogBuilder(*LoadDialogTemplate(IDD_STATISTICS)).DialogSize() + QSize(frame, frame));
  EXPECT_FALSE(FindById<QPushButton>(*dlg, IDOK_CONTROL)->isEnabled());
  EXPECT_EQ(FindById<QLineEdit>(*dlg, IDC_STATS_STATUS)->text(), "");
  EXPECT_TRUE(FindById<QLineEdit>(*dlg, IDC_STATS_STATUS)->isReadOnly());
  EXPECT_EQ(FindById<QLineEdit>(*dlg, IDC_STATS_STATUS)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  for (int id : {IDC_PRIMARY_ACTIVE, IDC_PRIMARY_UPDATE, IDC_PRIMARY_COUNT, IDC_BACKUP_ACTIVE,
                 IDC_BACKUP_UPDATE, IDC_BACKUP_COUNT})
    EXPECT_EQ(FieldText(dlg, id), "<checking>") << id;
  QStringList groups;
  for (auto* group : dlg->findChildren<QGroupBox*>()) groups << group->title();
  EXPECT_EQ(groups, QStringList({"Primary Database", "Backup Database"}));

  // A screen reader reads the fields' values, each named by its label and placed by its group.
  EXPECT_EQ(ReadAloud(dlg, IDC_PRIMARY_ACTIVE), "Server Active: | <checking> | Primary Database");
  EXPECT_EQ(FindById<QLineEdit>(*dlg, IDC_STATS_STATUS)->accessibleName(), "Status");

  ASSERT_TRUE(WaitDone(dlg));
  // The check waited its second before it started.
  EXPECT_GE(firstStatus, 950);
  EXPECT_EQ(log.texts,
            QStringList({"Testing Primary Database", "Connecting to Primary Database", "Checking Last Update",
                         "Counting Entries", "Testing Backup Database", "Done"}));
  EXPECT_EQ(FieldText(dlg, IDC_PRIMARY_ACTIVE), "YES");
  EXPECT_EQ(FieldText(dlg, IDC_PRIMARY_UPDATE), "2023-12-24 @ 18:00:00");
  EXPECT_EQ(FieldText(dlg, IDC_PRIMARY_COUNT), "12");
  EXPECT_EQ(FieldText(dlg, IDC_BACKUP_ACTIVE), "NO");
  EXPECT_EQ(FieldText(dlg, IDC_BACKUP_UPDATE), "N/A");
  EXPECT_EQ(FieldText(dlg, IDC_BACKUP_COUNT), "N/A");
  EXPECT_EQ(ReadAloud(dlg, IDC_PRIMARY_UPDATE), "Last Update: | 2023-12-24 @ 18:00:00 | Primary Database");
  EXPECT_EQ(ReadAloud(dlg, IDC_BACKUP_COUNT), "Number of Entries: | N/A | Backup Database");
  EXPECT_EQ(FindById<QLineEdit>(*dlg, IDC_STATS_STATUS)->text(), "Done");

  // It runs once: when a timer of the window's period, started only now, fires, the window's own
  // would have started a second check.
  const std::shared_ptr<WorkerRun> run = dlg->CheckRun();
  bool periodPassed = false;
  QTimer::singleShot(1000, Qt::PreciseTimer, dlg, [&] { periodPassed = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return periodPassed; }, 60000));
  EXPECT_EQ(dlg->CheckRun(), run);
  EXPECT_EQ(log.texts.size(), 6);
}

TEST_F(StatisticsDlgTest, TwoWindowsAreCheckedOneAfterTheOther) {
  SilentListener silent(3306);
  CStatisticsDlg* first =
      CStatisticsDlg::Open(TestEndpoints(silent.address(), S().refused.address()), owner.get());
  CStatisticsDlg* second =
      CStatisticsDlg::Open(TestEndpoints(S().primary.address(), S().refused.address()), owner.get());
  ASSERT_NE(first, second);
  StatusLog log;
  log.Watch(first, "1 ");
  log.Watch(second, "2 ");
  ASSERT_TRUE(WaitDone(first));
  ASSERT_TRUE(WaitDone(second));
  EXPECT_EQ(log.texts, QStringList({"1 Testing Primary Database", "1 Testing Backup Database", "1 Done",
                                    "2 Testing Primary Database", "2 Connecting to Primary Database",
                                    "2 Checking Last Update", "2 Counting Entries",
                                    "2 Testing Backup Database", "2 Done"}));
  // Each window keeps its own results.
  EXPECT_EQ(FieldText(first, IDC_PRIMARY_ACTIVE), "NO");
  EXPECT_EQ(FieldText(second, IDC_PRIMARY_ACTIVE), "YES");
  EXPECT_TRUE(first->isVisible());
}

TEST_F(StatisticsDlgTest, OkAndEscapeHideTheWindowWhichLivesUntilItsOwnerGoes) {
  const DupesEndpoints down = TestEndpoints(S().refused.address(), S().refused.address());
  QPointer<CStatisticsDlg> byEscape = CStatisticsDlg::Open(down, owner.get());
  QPointer<CStatisticsDlg> byOk = CStatisticsDlg::Open(down, owner.get());
  ASSERT_TRUE(WaitDone(byEscape));
  ASSERT_TRUE(WaitDone(byOk));
  EXPECT_TRUE(byEscape->isVisible());
  EXPECT_TRUE(byOk->isVisible());

  QTest::keyClick(byEscape, Qt::Key_Escape);
  EXPECT_FALSE(byEscape->isVisible());
  QTest::mouseClick(FindById<QPushButton>(*byOk, IDOK_CONTROL), Qt::LeftButton);
  EXPECT_FALSE(byOk->isVisible());
  QApplication::processEvents();
  ASSERT_TRUE(byEscape && byOk);

  owner.reset();
  EXPECT_FALSE(byEscape);
  EXPECT_FALSE(byOk);

  // Without an owner, hiding is the window's end.
  QPointer<CStatisticsDlg> alone = CStatisticsDlg::Open(down, nullptr);
  ASSERT_TRUE(WaitDone(alone));
  QTest::keyClick(alone, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return alone.isNull(); }, 1000));
}

// Esc or a close before the check is done is not lost: the window stays, showing every step, and
// goes as soon as the check is done, as a key that waited for a busy window would take it away.
TEST_F(StatisticsDlgTest, EscOrCloseBeforeTheCheckIsDoneTakesEffectWhenItIs) {
  const DupesEndpoints endpoints = TestEndpoints(S().primary.address(), S().refused.address());
  QPointer<CStatisticsDlg> byEscape = CStatisticsDlg::Open(endpoints, owner.get());
  QPointer<CStatisticsDlg> alone = CStatisticsDlg::Open(endpoints, nullptr);
  QStringList shown;
  QObject::connect(FindById<QLineEdit>(*byEscape, IDC_STATS_STATUS), &QLineEdit::textChanged, byEscape,
                   [&](const QString& text) {
                     if (byEscape->isVisible()) shown << text;
                     if (text == "Checking Last Update") QTest::keyClick(byEscape, Qt::Key_Escape);
                   });
  alone->close();  // while it waits for its turn
  EXPECT_TRUE(alone->isVisible());

  ASSERT_TRUE(WaitDone(byEscape));
  EXPECT_FALSE(byEscape->isVisible());
  EXPECT_EQ(shown,
            QStringList({"Testing Primary Database", "Connecting to Primary Database", "Checking Last Update",
                         "Counting Entries", "Testing Backup Database", "Done"}));
  // Without an owner, that is the window's end.
  EXPECT_TRUE(QTest::qWaitFor([&] { return alone.isNull(); }, 15000));
}

TEST_F(StatisticsDlgTest, DestroyingTheWindowMidCheckStopsTheCheck) {
  SilentListener silent(3306);
  // Destroyed during its probe.
  QPointer<CStatisticsDlg> probing =
      CStatisticsDlg::Open(TestEndpoints(silent.address(), S().refused.address(), 600), owner.get());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return FindById<QLineEdit>(*probing, IDC_STATS_STATUS)->text() == "Testing Primary Database"; },
      5000));
  std::shared_ptr<WorkerRun> run = probing->CheckRun();
  ASSERT_TRUE(run);
  delete probing.data();
  // The probe would wait ten minutes.
  EXPECT_TRUE(QTest::qWaitFor([&] { return run->IsFinished(); }, 60000));

  // Destroyed while the check waits on the UI thread for its next report to be shown.
  QPointer<CStatisticsDlg> connected =
      CStatisticsDlg::Open(TestEndpoints(S().primary.address(), S().refused.address()), owner.get());
  std::shared_ptr<WorkerRun> connectedRun;
  QObject::connect(FindById<QLineEdit>(*connected, IDC_STATS_STATUS), &QLineEdit::textChanged, connected,
                   [&](const QString& text) {
                     if (text != "Checking Last Update") return;
                     connectedRun = connected->CheckRun();
                     connected->deleteLater();
                   });
  ASSERT_TRUE(QTest::qWaitFor([&] { return connected.isNull(); }, 5000));
  ASSERT_TRUE(connectedRun);
  EXPECT_TRUE(QTest::qWaitFor([&] { return connectedRun->IsFinished(); }, 2000));
  EXPECT_TRUE(S().primary.WaitGuestConnections(0, 2000));

  // A window opened afterwards is checked as usual: the stopped checks left the queue.
  CStatisticsDlg* after =
      CStatisticsDlg::Open(TestEndpoints(S().primary.address(), S().refused.address()), owner.get());
  ASSERT_TRUE(WaitDone(after));
  EXPECT_EQ(FieldText(after, IDC_PRIMARY_COUNT), "12");
}

}  // namespace

TEST_F(StatisticsDlgTest, TheLastUpdateTextIsShownWithItsControlCharactersVisible) {
  TestDbServer& hostile = *sharedHostile;
  CStatisticsDlg* dlg =
      CStatisticsDlg::Open(TestEndpoints(hostile.address(), S().refused.address()), owner.get());
  ASSERT_TRUE(WaitDone(dlg));
  EXPECT_EQ(FieldText(dlg, IDC_PRIMARY_UPDATE),
            QString::fromUtf8("2023-12-24\u241b[8m @ 18:00\u240d\u240a\u2407"));
}
