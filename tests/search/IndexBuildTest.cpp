#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/Settings.h"
#include "controls/HistoryCombo.h"
#include "index/IndexPaths.h"
#include "index/LocalIndex.h"
#include "platform/LocaleSeparators.h"
#include "res/MenuBuilder.h"
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "search/ResultListCtrl.h"
#include "tests/search/KestrelViewFixture.h"
#include "tests/support/FindById.h"
#include "tests/support/GuiTestApp.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRows = 3000;

SharedDbServer shared("server", [](TestDbServer& s) { s.AddGeneratedDupes(kRows, "Copy"); });

TestDbServer& Server() {
  return *shared;
}

std::string Grouped(const std::string& digits) {
  const char separator = LocaleSeparators::FromUserLocale().thousands;
  return separator ? digits.substr(0, 1) + separator + digits.substr(1) : digits;
}

class IndexBuild : public KestrelViewFixture {
 protected:
  void SetUp() override {
    KestrelViewFixture::SetUp();
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
  }
  void TearDown() override {
    if (view && view->IndexBuildRun()) {
      view->IndexBuildRun()->Stop();
      EXPECT_TRUE(WaitBuildEnded());
    }
    KestrelViewFixture::TearDown();
    unsetenv("XDG_CACHE_HOME");
  }

  DupesEndpoints Good() { return {Server().address(), Server().address()}; }

  // A form as start-up makes it, with the option as stored.
  CKestrelView& Open(DupesEndpoints endpoints, bool localIndex, int batch = 50000) {
    OpenSettingsKey();
    WriteLocalIndex(localIndex);
    CloseSettingsKey();
    view = std::make_unique<CKestrelView>(endpoints);
    view->SetIndexBatch(batch);
    view->resize(460, 350);
    view->OnInitialUpdate();
    view->show();
    return *view;
  }
  QAction* Command() {
    return FindMenuAction(FindById<CResultListCtrl>(*view, IDC_RESULTS)->PopupMenu(), ID_KEEP_LOCAL_INDEX);
  }
  // The build ends on its own thread; its last visit needs this one's events.
  bool WaitBuildEnded() {
    const auto run = view->IndexBuildRun();
    return run && WaitUntil([&] { return run->IsFinished(); }, 60000);
  }
  // Runs at each word of the build, inside its visit: a stop here lands before the next batch.
  void OnBuild(std::function<void()> call) {
    QObject::connect(view.get(), &CKestrelView::indexBuildChanged, view.get(), std::move(call));
  }
  void Search(const QString& mask) {
    FindById<CHistoryCombo>(*view, IDC_MASK)->setEditText(mask);
    QTest::mouseClick(FindById<QPushButton>(*view, IDC_DUPE), Qt::LeftButton);
  }
  // The copy on disk, read while no build runs.
  void ExpectCopy(long long rows, bool ready) {
    std::string why;
    auto copy = LocalIndex::Open(IndexFilePath(IndexFolder(), Server().address()), Server().address(), why);
    ASSERT_TRUE(copy) << why;
    EXPECT_EQ(copy->Rows(), rows);
    EXPECT_EQ(copy->IsReady(), ready);
  }

  TempDir cache;
};

TEST_F(IndexBuild, SwitchedOnItBuildsInTheBackgroundWhileASearchRuns) {
  Open(Good(), false, 400);
  std::vector<QString> notes;
  OnBuild([&] { notes.push_back(view->IndexNote()); });
  Command()->trigger();
  ASSERT_TRUE(view->KeepsLocalIndex());
  Search("copy.12");
  ASSERT_TRUE(WaitIdle());
  EXPECT_GT(FindById<CResultListCtrl>(*view, IDC_RESULTS)->topLevelItemCount(), 0);
  ASSERT_TRUE(WaitBuildEnded());

  // Every batch was told, from the empty copy on; once ready the note is gone.
  ASSERT_GE(notes.size(), size_t(kRows / 400 + 2));
  const QString total = QString::fromStdString(Grouped(std::to_string(kRows)));
  EXPECT_EQ(notes.front(), "Building the local index: 0 of " + total + " entries");
  EXPECT_EQ(notes[1], "Building the local index: 400 of " + total + " entries");
  EXPECT_EQ(notes.back(), "");
  EXPECT_EQ(view->IndexNote(), "");
  EXPECT_EQ(Command()->toolTip(), "Local index ready: " + total + " entries");
  EXPECT_EQ(Command()->statusTip(), Command()->toolTip());
  // Only the search's own box.
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Dupe Successful");

  ExpectCopy(std::stoll(Server().QueryValue("SELECT COUNT(*) FROM DUPES")), true);
}

TEST_F(IndexBuild, AStoppedBuildGoesOnFromWhereItStopped) {
  constexpr int kBatch = 300;
  // Switched off after two batches: nothing more is written.
  Open(Good(), true, kBatch);
  OnBuild([&] {
    if (view->IndexProgress().rows >= 2 * kBatch && view->KeepsLocalIndex()) Command()->trigger();
  });
  ASSERT_TRUE(WaitBuildEnded());
  EXPECT_FALSE(view->KeepsLocalIndex());
  EXPECT_EQ(view->IndexNote(), "");
  EXPECT_EQ(Command()->toolTip(), "Keep a copy of the database's entries on this computer");
  ExpectCopy(2 * kBatch, false);

  // On again: it starts from those rows; the form closing stops it three batches on.
  view->disconnect(view.get(), &CKestrelView::indexBuildChanged, nullptr, nullptr);
  std::vector<long long> rows;
  OnBuild([&] {
    rows.push_back(view->IndexProgress().rows);
    if (rows.back() >= 5 * kBatch) view->close();
  });
  Command()->trigger();
  ASSERT_TRUE(WaitBuildEnded());
  EXPECT_EQ(rows, (std::vector<long long>{2 * kBatch, 3 * kBatch, 4 * kBatch, 5 * kBatch}));
  ExpectCopy(5 * kBatch, false);

  // The next start goes on to the end, rows only growing.
  view.reset();
  rows.clear();
  Open(Good(), true, kBatch);
  OnBuild([&] { rows.push_back(view->IndexProgress().rows); });
  ASSERT_TRUE(WaitBuildEnded());
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), 5 * kBatch);
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
  EXPECT_EQ(rows.back(), kRows);
  ExpectCopy(kRows, true);

  // Ready: a start leaves the copy to the searches, without a word of progress.
  view.reset();
  rows.clear();
  Open(Good(), true, kBatch);
  OnBuild([&] { rows.push_back(view->IndexProgress().rows); });
  ASSERT_TRUE(WaitBuildEnded());
  EXPECT_EQ(rows, std::vector<long long>{kRows});
  EXPECT_EQ(view->IndexNote(), "");
}

TEST_F(IndexBuild, OffByDefaultNothingIsWrittenToTheCache) {
  CKestrelView& form = Open(Good(), false);
  Search("copy.12");
  ASSERT_TRUE(WaitIdle());
  EXPECT_GT(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 0);
  EXPECT_FALSE(form.IndexBuildRun());
  EXPECT_TRUE(std::filesystem::is_empty(cache.path()));
}

TEST_F(IndexBuild, WithBothServersDownItFailsQuietlyAndTheFormStaysUsable) {
  LoopbackAddress primary, backup;
  CKestrelView& form = Open(TestEndpoints(primary.address(), backup.address()), true);
  ASSERT_TRUE(WaitBuildEnded());
  EXPECT_EQ(form.IndexNote(), "Local index not built: Neither database available!");
  EXPECT_EQ(Command()->toolTip(), form.IndexNote());
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(std::filesystem::is_empty(cache.path()));

  // The search tells its own failure as ever; switched off, the note goes.
  Search("copy");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Neither database available!"});
  Command()->trigger();
  EXPECT_EQ(form.IndexNote(), "");
}

}  // namespace
