// Faults met through the real form: servers that refuse, stall, deny or die half-way, and a log
// that cannot be written. Each ends with its one message, and the form goes on working.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <memory>

#include "app/Settings.h"
#include "controls/HistoryCombo.h"
#include "platform/MessageBox.h"
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "search/ResultListCtrl.h"
#include "tests/search/KestrelViewFixture.h"
#include "tests/support/FindById.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"

namespace {

void Fill(TestDbServer& server) {
  server.AddGeneratedDupes(300, "Fault");
}

// A live one that no case kills, and two that turn the guest away.
SharedDbServer sharedAlive("alive", Fill);
SharedDbServer sharedNoGuest("noGuest", {}, TestDbServer::Guest::Missing);
SharedDbServer sharedNoRights("noRights", {}, TestDbServer::Guest::NoRights);

class KestrelViewFaults : public KestrelViewFixture {
 protected:
  CKestrelView& Open(const std::string& primary, const std::string& backup) {
    view = std::make_unique<CKestrelView>(DupesEndpoints{primary, backup});
    view->OnInitialUpdate();
    view->show();
    RecordStatus();
    return *view;
  }
  // One search to its end; the messages it showed.
  std::vector<std::string> Search(const QString& mask = "fault") {
    boxes.Clear();
    statuses.clear();
    FindById<CHistoryCombo>(*view, IDC_MASK)->setEditText(mask);
    QTest::mouseClick(FindById<QPushButton>(*view, IDC_DUPE), Qt::LeftButton);
    EXPECT_TRUE(WaitIdle(20000));
    return boxes.Texts();
  }
  // Kills server the moment the status line reads status.
  void KillAt(TestDbServer& server, const std::string& status) {
    QObject::connect(FindById<QLineEdit>(*view, IDC_STATUS), &QLineEdit::textChanged, view.get(),
                     [&server, status](const QString& text) {
                       if (text.toStdString() == status && server.IsRunning()) server.Kill();
                     });
  }
  bool Saw(const std::string& status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }
};

TEST_F(KestrelViewFaults, ServersThatCannotBeReached) {
  LoopbackAddress refused;
  SilentListener silent;
  Open(refused.address(), silent.address());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Search(), std::vector<std::string>{"Neither database available!"});
  // Refused at once, silent for its three seconds, not for any longer wait of the library's own.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_FALSE(Saw("Disconnecting from database"));
  EXPECT_EQ(view->StatusText(), "Idle");

  // The primary answers but refuses the guest; the backup refuses the connection.
  TestDbServer& noGuest = *sharedNoGuest;
  view.reset();
  Open(noGuest.address(), refused.address());
  EXPECT_EQ(Search(), std::vector<std::string>{"Cannot connect to either database server!"});
  EXPECT_TRUE(Saw("Connecting to Database"));
  EXPECT_TRUE(Saw("Connecting to Backup Database"));
  EXPECT_FALSE(Saw("Testing Backup Database Availability"));
}

TEST_F(KestrelViewFaults, AGuestWithoutRightsIsToldAndDisconnected) {
  TestDbServer& noRights = *sharedNoRights;
  Open(noRights.address(), noRights.address());
  EXPECT_EQ(Search(), std::vector<std::string>{"Cannot access database!"});
  EXPECT_EQ(statuses.back(), "Idle");
  EXPECT_EQ(statuses[statuses.size() - 2], "Disconnecting from database");
}

TEST_F(KestrelViewFaults, AServerThatDiesHalfWayGivesCannotExecuteSql) {
  for (const char* step : {"Finding number of entries matching mask", "Retrieving requested entries",
                           "Counting total entries in database"}) {
    SCOPED_TRACE(step);
    TestDbServer dying;
    Fill(dying);
    Open(dying.address(), dying.address());
    KillAt(dying, step);
    EXPECT_EQ(Search(), std::vector<std::string>{"Cannot execute SQL!"});
    EXPECT_EQ(view->StatusText(), "Idle");
    // Rows that arrived before the total stay; earlier deaths leave the list as it was.
    const bool rowsShown = std::string(step) == "Counting total entries in database";
    EXPECT_EQ(FindById<CResultListCtrl>(*view, IDC_RESULTS)->topLevelItemCount() > 0, rowsShown);

    // The form goes on: the next search, on a live server, works.
    TestDbServer& alive = *sharedAlive;
    view.reset();
    Open(alive.address(), alive.address());
    const std::vector<std::string> messages = Search();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "20 of 300 items retrieved (300 total)");
    view.reset();
  }
}

TEST_F(KestrelViewFaults, ALogThatCannotBeWrittenDoesNotStopTheSearch) {
  TestDbServer& server = *sharedAlive;
  ASSERT_TRUE(OpenSettingsKey());
  WriteLog(true);
  WriteLogFile(m_dir.path() + "/missing-folder/kestrel.log");
  CloseSettingsKey();
  Open(server.address(), server.address());
  const std::vector<std::string> messages = Search();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "20 of 300 items retrieved (300 total)");
  EXPECT_NE(messages[1].find("missing-folder/kestrel.log"), std::string::npos) << messages[1];
  EXPECT_EQ(FindById<CResultListCtrl>(*view, IDC_RESULTS)->topLevelItemCount(), 20);
  EXPECT_EQ(view->StatusText(), "20 of 300 items retrieved (300 total)");
}

TEST_F(KestrelViewFaults, MasksThatBreakTheStatementAreReportedNotRun) {
  TestDbServer& server = *sharedAlive;
  Open(server.address(), server.address());
  EXPECT_EQ(Search("(fault"), std::vector<std::string>{"Cannot execute SQL!"});
  // Quotes and backslashes are words like any other: nothing matches, nothing breaks.
  for (const char* mask : {"fault' OR '1'='1", "x'; DROP TABLE DUPES; --", "\\' | fault\\"}) {
    EXPECT_EQ(Search(mask), std::vector<std::string>{"Nothing matching your search mask was found"}) << mask;
  }
  EXPECT_EQ(server.QueryValue("SELECT COUNT(*) FROM DUPES"), "300");
}

}  // namespace
