// Many searches cancelled at each of their steps and at random moments, and many starts quit at random
// moments, against a real server: nothing may hang, crash, race (the sanitizer builds run this too),
// leave a connection open on the server or leave a thread behind.
#include <dirent.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <random>
#include <thread>

#include "app/KestrelApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "controls/HistoryCombo.h"
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "tests/support/FindById.h"
#include "tests/support/GuiTestApp.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/SettingsFixture.h"
#include "tests/support/SharedDbServer.h"

namespace {

int ThreadCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
  }
  return count;
}

// The threads there are before a test: a sanitizer's runtime starts a helper thread of its own with
// the process's first thread, so one is started first and the helper is counted.
int ThreadsBefore() {
  std::thread([] {}).join();
  return ThreadCount();
}

int Rounds(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : fallback;
}

SharedDbServer shared("server", [](TestDbServer& s) { s.AddGeneratedDupes(3000, "Stress"); });

class Stress : public SettingsFixture {
 protected:
  static void SetUpTestSuite() { server = &*shared; }
  void SetUp() override {
    SettingsFixture::SetUp();
    // Qt's own pool (image conversion for painting) keeps idle threads for a while; only ours
    // are counted.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
    CreateSettingsKey();
    WriteVersion(75, 0);
    WriteStartMinimized(true);  // no splash: start-up goes straight to the frame
    CloseSettingsKey();
  }
  DupesEndpoints Endpoints() const { return {server->address(), server->address()}; }

  static TestDbServer* server;
  RecordingMessageBox boxes;
  std::mt19937 random{20261208};
};

TestDbServer* Stress::server = nullptr;

// Four kinds of rounds, none of which bets on the machine's speed: a search left to its summary;
// a Cancel before the worker's first visit to the form; a Cancel at the moment the worker shows
// one of its steps (it waits on the UI thread then, so the step is exact); and a Cancel after a
// random delay, whenever that lands (between two steps, in the middle of the rows).
TEST_F(Stress, SearchesCancelledAtEveryStepAndAtRandomMoments) {
  const int rounds = Rounds("KESTREL_STRESS_SEARCHES", 1000);
  CKestrelView view(Endpoints());
  view.OnInitialUpdate();
  view.show();
  QTest::qWait(20);
  const int threadsBefore = ThreadsBefore();

  // Every status change after the click is the worker's; a whole search counts them. The random
  // moments spread over the longest whole search yet (sanitizers slow it down).
  int changes = 0;
  int cancelAtChange = 0;
  QObject::connect(FindById<QLineEdit>(view, IDC_STATUS), &QLineEdit::textChanged, &view, [&] {
    if (++changes == cancelAtChange && view.IsBusy())
      QTest::mouseClick(FindById<QPushButton>(view, IDC_DUPE), Qt::LeftButton);
  });
  QElapsedTimer whole;
  whole.start();
  FindById<CHistoryCombo>(view, IDC_MASK)->setEditText("stress");
  changes = 0;
  QTest::mouseClick(FindById<QPushButton>(view, IDC_DUPE), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return !view.IsBusy(); }, 20000));
  ASSERT_TRUE(view.StatusText().endsWith("(3000 total)")) << view.StatusText().toStdString();
  const int steps = changes;
  std::uniform_int_distribution<int> step(1, steps);
  qint64 longest = whole.elapsed();

  std::vector<std::shared_ptr<WorkerRun>> runs;
  int completed = 0, cancelled = 0;
  for (int i = 0; i < rounds; ++i) {
    const int kind = i % 4;
    FindById<CHistoryCombo>(view, IDC_MASK)->setEditText(i % 3 ? "stress.1" : "stress");
    cancelAtChange = kind == 2 ? step(random) : 0;
    changes = 0;
    whole.restart();
    QTest::mouseClick(FindById<QPushButton>(view, IDC_DUPE), Qt::LeftButton);
    runs.push_back(view.RunningWorker());
    ASSERT_TRUE(view.IsBusy()) << "round " << i;
    if (kind == 1) QTest::mouseClick(FindById<QPushButton>(view, IDC_DUPE), Qt::LeftButton);
    if (kind == 3) {
      QTest::qWait(std::uniform_int_distribution<int>(0, static_cast<int>(longest * 3 / 2) + 1)(random));
      if (view.IsBusy()) QTest::mouseClick(FindById<QPushButton>(view, IDC_DUPE), Qt::LeftButton);
    }
    ASSERT_TRUE(WaitUntil([&] { return !view.IsBusy(); }, 20000)) << "round " << i;
    ASSERT_EQ(view.ButtonCaption(), "Dupe!");
    const bool wasCancelled = view.StatusText() == "Idle";
    if (!wasCancelled) {
      ASSERT_TRUE(view.StatusText().endsWith("(3000 total)"))
          << "round " << i << ": " << view.StatusText().toStdString();
    }
    // Only a random moment may land either side of the end.
    if (kind == 0) {
      ASSERT_FALSE(wasCancelled) << "round " << i;
    } else if (kind != 3) {
      ASSERT_TRUE(wasCancelled) << "round " << i << ", step " << cancelAtChange << " of " << steps;
    }
    ++(wasCancelled ? cancelled : completed);
    if (kind == 0) longest = std::max(longest, whole.elapsed());
  }
  // A stopped run shows nothing, not even a failure of its own.
  for (const RecordingMessageBox::Box& box : boxes.Boxes())
    ASSERT_EQ(box.caption, "Dupe Successful") << box.text;
  // The UI thread never blocks on a worker (one may be waiting for it): wait with events flowing.
  for (const auto& run : runs) ASSERT_TRUE(WaitUntil([&] { return run->IsFinished(); }, 10000));
  // Every run finished means every thread ended; give the last ones a moment to be reaped.
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threadsBefore; }, 5000))
      << ThreadCount() << " threads, " << threadsBefore << " before";
  EXPECT_TRUE(server->WaitGuestConnections(0, 10000)) << server->GuestConnections() << " left open";
  EXPECT_GE(completed, rounds / 4);
  EXPECT_GE(cancelled, rounds / 2);
}

TEST_F(Stress, StartsQuitAtRandomMoments) {
  const int rounds = Rounds("KESTREL_STRESS_STARTS", 100);
  const int threadsBefore = ThreadsBefore();
  std::uniform_int_distribution<int> delay(0, 40);
  for (int i = 0; i < rounds; ++i) {
    CKestrelApp app(Endpoints(), 0);
    ASSERT_TRUE(app.InitInstance());
    QSignalSpy ended(&app, &CKestrelApp::mainWindowDestroyed);
    FindById<CHistoryCombo>(*app.MainFrame(), IDC_MASK)->setEditText("stress");
    QTest::mouseClick(FindById<QPushButton>(*app.MainFrame(), IDC_DUPE), Qt::LeftButton);
    std::shared_ptr<WorkerRun> run = app.MainFrame()->findChild<CKestrelView*>()->RunningWorker();
    QTest::qWait(delay(random));
    if (i % 2) {
      app.QuitQuietly();
    } else {
      QTest::mouseClick(FindById<QPushButton>(*app.MainFrame(), IDC_QUIT), Qt::LeftButton);
    }
    ASSERT_TRUE(ended.count() > 0 || ended.wait(5000)) << "round " << i;
    // Quit never waits for the worker, and the worker leaves on its own at once.
    EXPECT_TRUE(WaitUntil([&] { return run->IsFinished(); }, 5000)) << "round " << i;
  }
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threadsBefore; }, 5000))
      << ThreadCount() << " threads, " << threadsBefore << " before";
  EXPECT_TRUE(server->WaitGuestConnections(0, 10000)) << server->GuestConnections() << " left open";
}

}  // namespace
