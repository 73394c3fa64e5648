#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <memory>

#include "app/Settings.h"
#include "controls/HistoryCombo.h"
#include "controls/MaskedEdit.h"
#include "platform/FileDialog.h"
#include "platform/LocaleSeparators.h"
#include "platform/MessageBox.h"
#include "res/MenuBuilder.h"
#include "res/ResourceIds.h"
#include "res/Version.h"
#include "search/KestrelView.h"
#include "search/NfoTextView.h"
#include "search/NfoViewerDlg.h"
#include "search/ResultListCtrl.h"
#include "tests/search/KestrelViewFixture.h"
#include "tests/support/FindById.h"
#include "tests/support/GuiTestApp.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TempDir.h"

namespace {

SharedDbServer shared("server", [](TestDbServer& s) {
  s.AddDupes({{"1998-02-05", "020598", "Shadow.Empire-GRP"},
              {"1998-03-01", "030198", "Shadow.Runner-GRP"},
              {"1999-07-04", "070499", "Shadow.Garden-GRP"},
              {"1999-08-01", "080199", "Night.Signal-GRP"}});
  s.AddGeneratedDupes(1200, "Bulk");
});

// For the cases that change the columns and load rows of their own.
SharedDbServer scratch("scratch");

TestDbServer& Server() {
  return *shared;
}

std::string Sep() {
  return std::string(1, LocaleSeparators::FromUserLocale().date);
}

class KestrelView : public KestrelViewFixture {
 protected:
  // A form as start-up makes it, against the given servers.
  CKestrelView& Open(DupesEndpoints endpoints = {}) {
    view = std::make_unique<CKestrelView>(endpoints);
    view->resize(460, 350);
    view->OnInitialUpdate();
    view->show();
    return *view;
  }
  DupesEndpoints Good() { return {Server().address(), Server().address()}; }

  void Search(const QString& mask) {
    FindById<CHistoryCombo>(*view, IDC_MASK)->setEditText(mask);
    QTest::mouseClick(FindById<QPushButton>(*view, IDC_DUPE), Qt::LeftButton);
  }
};

TEST_F(KestrelView, FirstStartShowsTheDefaults) {
  CKestrelView& form = Open();
  EXPECT_EQ(FindById<QLineEdit>(form, IDC_LIMIT)->text(), "20");
  EXPECT_FALSE(FindById<QCheckBox>(form, IDC_GET_ALL)->isChecked());
  EXPECT_FALSE(FindById<QCheckBox>(form, IDC_BETWEEN)->isChecked());
  EXPECT_FALSE(FindById<CMaskedEdit>(form, IDC_START_DATE)->isEnabled());
  EXPECT_FALSE(FindById<CMaskedEdit>(form, IDC_END_DATE)->isEnabled());
  const QString empty = QString::fromStdString("__" + Sep() + "__" + Sep() + "____");
  EXPECT_EQ(FindById<CMaskedEdit>(form, IDC_START_DATE)->GetDisplayText(), empty);
  EXPECT_EQ(FindById<CMaskedEdit>(form, IDC_END_DATE)->text(), empty);
  ASSERT_EQ(FindById<QListWidget>(form, IDC_ORDER)->count(), 2);
  EXPECT_EQ(FindById<QListWidget>(form, IDC_ORDER)->item(0)->text(), "FIRST->LAST");
  EXPECT_EQ(FindById<QListWidget>(form, IDC_ORDER)->currentItem()->text(), "LAST->FIRST");
  EXPECT_EQ(form.StatusText(), "Idle");
  EXPECT_EQ(form.ButtonCaption(), "Dupe !");
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->headerItem()->text(0), "Date");
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->columnWidth(1), 350);
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->GetHighlightType(), 2);
  EXPECT_EQ(form.LogFilePath(), "");  // no key yet: the read gives ""
  EXPECT_TRUE(FindById<CHistoryCombo>(form, IDC_MASK)->hasFocus() || !QApplication::focusWidget());
  // What a screen reader says of each control.
  EXPECT_EQ(FindById<CHistoryCombo>(form, IDC_MASK)->accessibleName(), "Search Mask:");
  EXPECT_EQ(FindById<QLineEdit>(form, IDC_LIMIT)->accessibleName(), "# to Retrieve:");
  EXPECT_EQ(FindById<QListWidget>(form, IDC_ORDER)->accessibleName(), "Order:");
  EXPECT_EQ(FindById<CMaskedEdit>(form, IDC_START_DATE)->accessibleName(), "Start date");
  EXPECT_EQ(FindById<CMaskedEdit>(form, IDC_END_DATE)->accessibleName(), "End date");
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->accessibleName(), "Results");
  EXPECT_EQ(FindById<QLineEdit>(form, IDC_STATUS)->accessibleName(), "Status");
}

TEST_F(KestrelView, InputsComeBackFromTheStoreAndGoBackAtTheEnd) {
  ASSERT_TRUE(OpenSettingsKey());
  WriteGetAll(true);
  WriteLimit(-7);
  WriteStartDate("12" + Sep() + "31" + Sep() + "1998");
  WriteEndDate("01" + Sep() + "01" + Sep() + "19990");  // 11 characters: ignored
  WriteUseBetween(true);
  WriteOrder(0);
  WriteLog(true);
  WriteLogFile("/tmp/session.log");
  WriteStartMinimized(true);
  CloseSettingsKey();

  CKestrelView& form = Open();
  EXPECT_TRUE(FindById<QCheckBox>(form, IDC_GET_ALL)->isChecked());
  EXPECT_FALSE(FindById<QLineEdit>(form, IDC_LIMIT)->isEnabled());
  EXPECT_EQ(FindById<QLineEdit>(form, IDC_LIMIT)->text(), "-7");
  EXPECT_EQ(form.Limit(), -7);
  EXPECT_EQ(FindById<CMaskedEdit>(form, IDC_START_DATE)->GetInputText(), "12311998");
  EXPECT_EQ(FindById<CMaskedEdit>(form, IDC_END_DATE)->GetInputText(), "________");
  EXPECT_TRUE(FindById<CMaskedEdit>(form, IDC_START_DATE)->isEnabled());
  EXPECT_EQ(FindById<QListWidget>(form, IDC_ORDER)->currentRow(), 0);
  EXPECT_TRUE(form.IsLogging());
  EXPECT_EQ(form.LogFilePath(), "/tmp/session.log");
  EXPECT_TRUE(form.IsStartMinimized());

  // "Retrieve All" keeps the number shown; unticking "Between:" keeps the dates shown.
  FindById<QLineEdit>(form, IDC_LIMIT)->setEnabled(true);
  FindById<QLineEdit>(form, IDC_LIMIT)->setText("55");
  QTest::mouseClick(FindById<QCheckBox>(form, IDC_BETWEEN), Qt::LeftButton);
  QTest::mouseClick(FindById<QCheckBox>(form, IDC_BETWEEN), Qt::LeftButton);
  form.WriteLimitAndBounds(form.Limit(), "stale", "stale");
  EXPECT_EQ(form.StartBound(), "stale");
  QTest::mouseClick(FindById<QCheckBox>(form, IDC_BETWEEN), Qt::LeftButton);
  EXPECT_EQ(form.StartBound(), "");
  EXPECT_FALSE(FindById<CMaskedEdit>(form, IDC_START_DATE)->isEnabled());
  FindById<QListWidget>(form, IDC_ORDER)->setCurrentRow(1);
  FindById<CHistoryCombo>(form, IDC_MASK)->setEditText("older");
  FindById<CHistoryCombo>(form, IDC_MASK)->AddToHistory();
  FindById<CHistoryCombo>(form, IDC_MASK)->setEditText("newest");
  FindById<CHistoryCombo>(form, IDC_MASK)->AddToHistory();
  form.close();  // the frame's destroy step

  ASSERT_TRUE(OpenSettingsKey());
  int32_t limit = 0, order = -1;
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, 55);
  EXPECT_TRUE(ReadGetAll());
  EXPECT_FALSE(ReadUseBetween());
  EXPECT_TRUE(ReadOrder(order));
  EXPECT_EQ(order, 1);
  EXPECT_EQ(ReadStartDate(), "12" + Sep() + "31" + Sep() + "1998");
  EXPECT_EQ(ReadEndDate(), "__" + Sep() + "__" + Sep() + "____");
  CloseSettingsKey();
  EXPECT_NE(FileText().find("\"MaskHistory\"=\"newest|older\""), std::string::npos) << FileText();
  EXPECT_TRUE(boxes.Boxes().empty());
}

// An order the list cannot show keeps the default selected, and the default is what goes back.
TEST_F(KestrelView, AStoredOrderOutOfRangeKeepsTheDefault) {
  ASSERT_TRUE(OpenSettingsKey());
  WriteOrder(5);
  CloseSettingsKey();
  CKestrelView& form = Open();
  EXPECT_EQ(FindById<QListWidget>(form, IDC_ORDER)->currentRow(), 1);
  form.close();
  ASSERT_TRUE(OpenSettingsKey());
  int32_t order = -1;
  EXPECT_TRUE(ReadOrder(order));
  EXPECT_EQ(order, 1);
  CloseSettingsKey();
}

TEST_F(KestrelView, ALimitThatIsNoWholeNumberIsReportedAndTheOldValuesStand) {
  CKestrelView& form = Open();
  FindById<QCheckBox>(form, IDC_GET_ALL)->setChecked(true);
  FindById<QLineEdit>(form, IDC_LIMIT)->setText("12abc");
  EXPECT_FALSE(form.UpdateData(true));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Please enter an integer.");
  EXPECT_EQ(boxes.Boxes()[0].caption, "Kestrel " KESTREL_VERSION);
  EXPECT_EQ(boxes.Boxes()[0].flags, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(form.Limit(), 20);
  EXPECT_FALSE(form.RetrievesAll());  // the exchange stopped at the limit

  for (const char* bad : {"", " ", "1.5", "99999999999", "2147483648", "--1", "0x10"}) {
    FindById<QLineEdit>(form, IDC_LIMIT)->setText(bad);
    EXPECT_FALSE(form.UpdateData(true, true)) << bad;
  }
  for (auto [text, value] : {std::pair{" 42 ", 42}, {"-2147483648", INT32_MIN}, {"+7", 7}}) {
    FindById<QLineEdit>(form, IDC_LIMIT)->setText(text);
    EXPECT_TRUE(form.UpdateData(true, true)) << text;
    EXPECT_EQ(form.Limit(), value);
  }

  // On the way out the last good limit is saved.
  FindById<QLineEdit>(form, IDC_LIMIT)->setText("x");
  form.OnDestroy(true);
  ASSERT_TRUE(OpenSettingsKey());
  int32_t limit = 0;
  EXPECT_TRUE(ReadLimit(limit));
  EXPECT_EQ(limit, 7);
  CloseSettingsKey();
}

TEST_F(KestrelView, EnterStartsASearchThatFillsTheListAndTheHistory) {
  CKestrelView& form = Open(Good());
  RecordStatus();
  FindById<CHistoryCombo>(form, IDC_MASK)->setFocus();
  FindById<CHistoryCombo>(form, IDC_MASK)->setEditText("shadow");
  QTest::keyClick(FindById<CHistoryCombo>(form, IDC_MASK)->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(form.ButtonCaption(), "Cancel");
  ASSERT_TRUE(WaitIdle());

  const std::vector<std::string> expected = {"Testing Database Availability",
                                             "Connecting to Database",
                                             "Finding number of entries matching mask",
                                             "Retrieving requested entries",
                                             "Counting total entries in database",
                                             "Query Completed",
                                             "Disconnecting from database",
                                             "3 of 3 items retrieved (1204 total)"};
  EXPECT_EQ(statuses, expected);
  ASSERT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 3);
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItem(0)->text(0),
            "070499");  // newest first
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItem(0)->text(1), "Shadow.Garden-GRP");
  EXPECT_EQ(FindById<CHistoryCombo>(form, IDC_MASK)->GetHistoryString(), "shadow");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Dupe Successful");
  EXPECT_EQ(boxes.Boxes()[0].owner, &form);
  EXPECT_TRUE(Server().WaitGuestConnections(0, 5000));

  // Oldest first, within a date range typed into the date boxes.
  FindById<QListWidget>(form, IDC_ORDER)->setCurrentRow(0);
  QTest::mouseClick(FindById<QCheckBox>(form, IDC_BETWEEN), Qt::LeftButton);
  FindById<CMaskedEdit>(form, IDC_START_DATE)->SetInputText("01011998");
  FindById<CMaskedEdit>(form, IDC_END_DATE)->SetInputText("12311998");
  // This time by the keypad's Enter, from a date box.
  FindById<CHistoryCombo>(form, IDC_MASK)->setEditText("shadow");
  FindById<CMaskedEdit>(form, IDC_END_DATE)->setFocus();
  QTest::keyClick(FindById<CMaskedEdit>(form, IDC_END_DATE), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(form.ButtonCaption(), "Cancel");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 2);
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItem(0)->text(1), "Shadow.Empire-GRP");
  EXPECT_EQ(form.StartBound(), "1998-01" + Sep() + "01");
  EXPECT_EQ(form.StatusText(), "2 of 2 items retrieved (1204 total)");
}

TEST_F(KestrelView, AMaskPastedWithItsLineEndSearchesAndIsLoggedAndKeptAsOneLine) {
  const std::string logPath = m_dir.file("pasted.log");
  ASSERT_TRUE(OpenSettingsKey());
  WriteLog(true);
  WriteLogFile(logPath);
  CloseSettingsKey();
  CKestrelView& form = Open(Good());
  CHistoryCombo* mask = FindById<CHistoryCombo>(form, IDC_MASK);
  mask->setFocus();
  QApplication::clipboard()->setText("Garden\r\n");
  QTest::keyClick(mask->lineEdit(), Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(mask->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 1);
  EXPECT_EQ(mask->GetHistoryString(), "Garden");
  const std::string log = ReadWholeFile(logPath);
  EXPECT_NE(log.find("Log Open\r\nSearch Mask: Garden\r\nItems to Return: "), std::string::npos) << log;
}

TEST_F(KestrelView, RefusedRequestsEndWithoutTouchingTheNetwork) {
  CKestrelView& form = Open(Good());
  RecordStatus();
  Search("");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"You must specify a search mask!"});
  EXPECT_TRUE(statuses.empty());  // no network step was announced
  EXPECT_EQ(form.StatusText(), "Idle");

  boxes.Clear();
  FindById<QLineEdit>(form, IDC_LIMIT)->setText("0");
  Search("shadow");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Amount to search for must be positive!"});
}

TEST_F(KestrelView, CancelBeforeTheConnectGoesStraightToIdle) {
  SilentListener silent;
  // A probe of ten minutes: a Cancel that waited for it would end at the test's time-out.
  DupesEndpoints ends{silent.address(), silent.address()};
  ends.m_nProbeSeconds = 600;
  CKestrelView& form = Open(ends);
  RecordStatus();
  Search("shadow");
  ASSERT_TRUE(WaitUntil([&] { return form.StatusText() == "Testing Database Availability"; }, 15000));
  const std::shared_ptr<WorkerRun> cancelled = form.RunningWorker();
  ASSERT_NE(cancelled, nullptr);
  QTest::mouseClick(FindById<QPushButton>(form, IDC_DUPE), Qt::LeftButton);
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
  EXPECT_EQ(form.StatusText(), "Idle");
  EXPECT_EQ(form.RunningWorker(), nullptr);
  // Whatever the stopped worker posted on its way out has arrived once it finished.
  ASSERT_TRUE(cancelled->WaitFinished(15000));
  QCoreApplication::sendPostedEvents();
  const std::vector<std::string> expected = {"Testing Database Availability", "Idle"};
  EXPECT_EQ(statuses, expected);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(KestrelView, CancelWhileConnectedDisconnectsAndKeepsTheFormQuiet) {
  CKestrelView& form = Open(Good());
  RecordStatus();
  // The server stops answering once the count is under way.
  QObject::connect(FindById<QLineEdit>(form, IDC_STATUS), &QLineEdit::textChanged, [](const QString& text) {
    if (text == "Finding number of entries matching mask") Server().Pause();
  });
  Search("shadow");
  ASSERT_TRUE(
      WaitUntil([&] { return form.StatusText() == "Finding number of entries matching mask"; }, 15000));
  const std::shared_ptr<WorkerRun> cancelled = form.RunningWorker();
  ASSERT_NE(cancelled, nullptr);
  QTest::mouseClick(FindById<QPushButton>(form, IDC_DUPE), Qt::LeftButton);
  Server().Resume();
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
  EXPECT_EQ(form.StatusText(), "Idle");
  ASSERT_TRUE(cancelled->WaitFinished(15000));
  QCoreApplication::sendPostedEvents();
  const std::vector<std::string> tail(statuses.end() - 2, statuses.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Disconnecting from database", "Idle"}));
  EXPECT_EQ(statuses[statuses.size() - 3], "Finding number of entries matching mask");
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 0);
  EXPECT_TRUE(Server().WaitGuestConnections(0, 5000));
}

// What the form shows is what the next search uses: "Between:" clicked while a run counts
// changes the next run, never the one under way, and is not undone by it.
TEST_F(KestrelView, TheRangeFollowsTheBoxWhenItIsClickedDuringACount) {
  CKestrelView& form = Open(Good());
  auto* between = FindById<QCheckBox>(form, IDC_BETWEEN);
  QTest::mouseClick(between, Qt::LeftButton);
  FindById<CMaskedEdit>(form, IDC_START_DATE)->SetInputText("01011998");
  FindById<CMaskedEdit>(form, IDC_END_DATE)->SetInputText("12311998");
  bool clickWhileCounting = false;
  QObject::connect(FindById<QLineEdit>(form, IDC_STATUS), &QLineEdit::textChanged, [&](const QString& text) {
    if (!clickWhileCounting || text != "Finding number of entries matching mask") return;
    clickWhileCounting = false;
    QTest::mouseClick(between, Qt::LeftButton);
  });
  auto searchGives = [&](bool click) {
    clickWhileCounting = click;
    Search("shadow");
    EXPECT_TRUE(WaitIdle());
    return form.StatusText().toStdString();
  };

  EXPECT_EQ(searchGives(true), "2 of 2 items retrieved (1204 total)");  // the range it counted
  EXPECT_FALSE(between->isChecked());
  EXPECT_EQ(searchGives(false), "3 of 3 items retrieved (1204 total)");
  EXPECT_EQ(searchGives(true), "3 of 3 items retrieved (1204 total)");
  EXPECT_TRUE(between->isChecked());
  EXPECT_EQ(searchGives(false), "2 of 2 items retrieved (1204 total)");
}

// A search numbers its rows from 0 as they arrive; "Clear List" in between must not make the
// later ones vanish (nor leak) while the summary counts them.
TEST_F(KestrelView, RowsArrivingAfterClearListAreShown) {
  CKestrelView& form = Open();
  form.InsertRow(0, "020598", "First-GRP");
  form.InsertRow(1, "030598", "Second-GRP");
  form.OnCommand(ID_CLEAR_LIST);
  form.InsertRow(2, "040598", "Third-GRP");
  form.InsertRow(3, "050598", "Fourth-GRP");
  ASSERT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 2);
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItem(0)->text(1), "Third-GRP");
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItem(1)->text(1), "Fourth-GRP");
}

TEST_F(KestrelView, ListCommandsAndStartMinimized) {
  CKestrelView& form = Open(Good());
  Search("shadow");
  ASSERT_TRUE(WaitIdle());
  ASSERT_GT(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 0);
  EXPECT_TRUE(form.OnCommand(ID_COPY_ALL));
  EXPECT_EQ(QApplication::clipboard()->text(),
            "070499 Shadow.Garden-GRP\r\n030198 Shadow.Runner-GRP\r\n020598 Shadow.Empire-GRP\r\n");

  // "&Log Session": the chosen file goes to the store and the pop-up's check mark follows.
  const std::string logPath = m_dir.file("session.log");
  FileDialogHandler previous = SetFileDialogHandler([&](const FileDialogRequest&) { return logPath; });
  form.OnCommand(ID_LOG_SESSION);
  SetFileDialogHandler(previous);
  EXPECT_TRUE(form.IsLogging());
  EXPECT_EQ(form.LogFilePath(), logPath);
  ASSERT_TRUE(OpenSettingsKey());
  EXPECT_TRUE(ReadLog());
  EXPECT_EQ(ReadLogFile(), logPath);
  CloseSettingsKey();
  Search("shadow");
  ASSERT_TRUE(WaitIdle());
  EXPECT_NE(ReadWholeFile(logPath).find("  070499 Shadow.Garden-GRP\r\n"), std::string::npos);

  EXPECT_TRUE(form.OnCommand(ID_CLEAR_LIST));
  EXPECT_EQ(FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItemCount(), 0);
  EXPECT_EQ(form.StatusText(), "Idle");

  const bool before = form.IsStartMinimized();
  form.OnCommand(ID_START_MINIMIZED);
  ASSERT_TRUE(OpenSettingsKey());
  EXPECT_EQ(ReadStartMinimized(), !before);
  CloseSettingsKey();
  form.OnCommand(ID_START_MINIMIZED);
  ASSERT_TRUE(OpenSettingsKey());
  EXPECT_EQ(ReadStartMinimized(), before);
  CloseSettingsKey();
  // Off unless chosen; the choice is kept as the "LocalIndex" dword.
  EXPECT_FALSE(form.KeepsLocalIndex());
  form.OnCommand(ID_KEEP_LOCAL_INDEX);
  ASSERT_TRUE(OpenSettingsKey());
  EXPECT_TRUE(ReadLocalIndex());
  CloseSettingsKey();
  EXPECT_TRUE(FindMenuAction(FindById<CResultListCtrl>(form, IDC_RESULTS)->PopupMenu(), ID_KEEP_LOCAL_INDEX)
                  ->isChecked());
  EXPECT_FALSE(form.OnCommand(12345));
}

TEST_F(KestrelView, TabWalksTheFormAndNfoWaitsWhileBusy) {
  SilentListener silent;
  CKestrelView& form = Open({silent.address(), silent.address()});
  // Template order, skipping what cannot take the focus now (the disabled date boxes).
  std::vector<QWidget*> chain;
  QWidget* w = FindById<CHistoryCombo>(form, IDC_MASK);
  for (int i = 0; i < 200 && w && chain.size() < 8; ++i, w = w->nextInFocusChain()) {
    if (w->parentWidget() == &form && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) chain.push_back(w);
  }
  const std::vector<QWidget*> expected = {
      FindById<CHistoryCombo>(form, IDC_MASK), FindById<QCheckBox>(form, IDC_BETWEEN),
      FindById<QLineEdit>(form, IDC_LIMIT),    FindById<QCheckBox>(form, IDC_GET_ALL),
      FindById<QListWidget>(form, IDC_ORDER),  FindById<CResultListCtrl>(form, IDC_RESULTS),
      FindById<QPushButton>(form, IDC_DUPE),   FindById<QPushButton>(form, IDC_QUIT)};
  EXPECT_EQ(std::vector<QWidget*>(chain.begin(), chain.begin() + std::min(chain.size(), expected.size())),
            expected);

  auto nfoAction = [&] {
    return FindMenuAction(FindById<CResultListCtrl>(form, IDC_RESULTS)->PopupMenu(), ID_RETRIEVE_NFO);
  };
  ASSERT_NE(nfoAction(), nullptr);
  Search("shadow");
  emit FindById<CResultListCtrl>(form, IDC_RESULTS)->PopupMenu()->aboutToShow();
  EXPECT_FALSE(nfoAction()->isEnabled());
  std::shared_ptr<WorkerRun> search = form.RunningWorker();
  form.OnCommand(ID_RETRIEVE_NFO);  // refused: the search keeps the button
  EXPECT_EQ(form.RunningWorker(), search);
  QTest::mouseClick(FindById<QPushButton>(form, IDC_DUPE), Qt::LeftButton);
  emit FindById<CResultListCtrl>(form, IDC_RESULTS)->PopupMenu()->aboutToShow();
  EXPECT_TRUE(nfoAction()->isEnabled());

  // "Retrieve Nfo" and a press of the button in the same turn of the event loop: the press
  // finds "Cancel" and stops the retrieval instead of starting a search beside it.
  FindById<CResultListCtrl>(form, IDC_RESULTS)
      ->addTopLevelItem(new QTreeWidgetItem({"020598", "Shadow.Empire-GRP"}));
  FindById<CResultListCtrl>(form, IDC_RESULTS)->topLevelItem(0)->setSelected(true);
  form.OnCommand(ID_RETRIEVE_NFO);
  std::shared_ptr<WorkerRun> nfo = form.RunningWorker();
  ASSERT_NE(nfo, nullptr);
  FindById<QPushButton>(form, IDC_DUPE)->click();
  EXPECT_TRUE(nfo->IsStopped());
  EXPECT_EQ(form.RunningWorker(), nullptr);
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
}

TEST_F(KestrelView, CtrlCAndCtrlAInTheListCopyAndSelectAsTheMenuDoes) {
  CKestrelView& form = Open();
  CResultListCtrl* list = FindById<CResultListCtrl>(form, IDC_RESULTS);
  for (const char* dir : {"One-GRP", "Two-GRP", "Three-GRP"})
    list->addTopLevelItem(new QTreeWidgetItem({"010198", dir}));
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  list->setFocus();

  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->selectedItems().size(), 3);
  list->topLevelItem(1)->setSelected(false);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "010198 One-GRP\r\n010198 Three-GRP\r\n");
  list->clearSelection();
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"There is nothing selected!"});
  EXPECT_EQ(QApplication::clipboard()->text(), "010198 One-GRP\r\n010198 Three-GRP\r\n");

  // The pop-up names the key beside the caption it always had.
  QAction* copy = FindMenuAction(list->PopupMenu(), ID_COPY_SELECTED);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->text(), "&Copy Selected");
  EXPECT_EQ(copy->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  EXPECT_TRUE(copy->isShortcutVisibleInContextMenu());
}

TEST_F(KestrelView, DoubleClickRetrievesThatRowsNfoAndEscCancelsOnlyRunningWork) {
  const std::string text = "Garden NFO";
  Server().AddNfo("070499", "Shadow.Garden-GRP", &text);
  CKestrelView& form = Open(Good());
  CResultListCtrl* list = FindById<CResultListCtrl>(form, IDC_RESULTS);
  Search("shadow");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(list->topLevelItemCount(), 3);
  auto rowCentre = [&](int row) { return list->visualItemRect(list->topLevelItem(row)).center(); };
  // As the window system delivers a double-click: press and release, then the second press.
  auto doubleClick = [&](int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(row));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(row));
  };
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(2));
  const size_t boxesBefore = boxes.Boxes().size();  // the search's own
  doubleClick(0);
  const std::shared_ptr<WorkerRun> nfo = form.RunningWorker();
  ASSERT_NE(nfo, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return nfo->IsFinished(); }, 15000));
  QStringList shown;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<CNfoViewerDlg*>(w) && w->isVisible()) shown << w->windowTitle();
  EXPECT_EQ(shown, QStringList{"Shadow.Garden-GRP"});
  EXPECT_EQ(boxes.Boxes().size(), boxesBefore);

  // Idle, Esc presses nothing.
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
  EXPECT_EQ(form.RunningWorker(), nfo);

  SilentListener silent;
  Open({silent.address(), silent.address()});
  view->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  list = FindById<CResultListCtrl>(*view, IDC_RESULTS);
  list->addTopLevelItem(new QTreeWidgetItem({"070499", "Shadow.Garden-GRP"}));
  Search("shadow");
  ASSERT_EQ(view->ButtonCaption(), "Cancel");
  std::shared_ptr<WorkerRun> search = view->RunningWorker();
  doubleClick(0);  // refused: the search keeps the button
  EXPECT_EQ(view->RunningWorker(), search);
  FindById<CHistoryCombo>(*view, IDC_MASK)->setFocus();
  QTest::keyClick(FindById<CHistoryCombo>(*view, IDC_MASK), Qt::Key_Escape);
  EXPECT_EQ(view->ButtonCaption(), "Dupe!");
  EXPECT_EQ(view->StatusText(), "Idle");
  EXPECT_EQ(view->RunningWorker(), nullptr);
  EXPECT_TRUE(search->IsStopped());

  // The retrieval a double-click starts is work like any other.
  doubleClick(0);
  ASSERT_TRUE(WaitUntil([&] { return view->ButtonCaption() == "Cancel"; }, 15000));
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_EQ(view->ButtonCaption(), "Dupe!");
  EXPECT_EQ(view->RunningWorker(), nullptr);
  EXPECT_EQ(boxes.Boxes().size(), boxesBefore);
}

TEST_F(KestrelView, ANamesHiddenCharactersReadTheSameInTheListTheClipboardAndTheLog) {
  TestDbServer& server = scratch.Fresh();
  server.Execute("ALTER TABLE DUPES MODIFY DUPES_DIR VARBINARY(255) NOT NULL");
  server.AddDupes({{"1998-02-05", "020598", "Rev.\xe2\x80\xaePRG-GRP"},
                   {"1998-02-06", "020698",
                    "Csi.\xc2\x9b"
                    "8m.Hidden\xe2\x81\xa6-GRP"},
                   {"1998-02-07", "020798", "Typed\\x0a.Name\x1b]0;t\x07-GRP"}});
  const std::string logPath = m_dir.file("names.log");
  ASSERT_TRUE(OpenSettingsKey());
  WriteLog(true);
  WriteLogFile(logPath);
  CloseSettingsKey();
  CKestrelView& form = Open({server.address(), server.address()});
  CResultListCtrl* list = FindById<CResultListCtrl>(form, IDC_RESULTS);
  Search("GRP");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(list->topLevelItemCount(), 3);
  const QString shown[] = {QString::fromUtf8("Typed\\x0a.Name\u241b]0;t\u2407-GRP"),
                           QString::fromUtf8("Csi.<U+009B>8m.Hidden<U+2066>-GRP"),
                           QString::fromUtf8("Rev.<U+202E>PRG-GRP")};
  for (int row = 0; row < 3; ++row) EXPECT_EQ(list->topLevelItem(row)->text(1), shown[row]);
  list->CopyAll();
  EXPECT_EQ(QApplication::clipboard()->text(),
            "020798 " + shown[0] + "\r\n020698 " + shown[1] + "\r\n020598 " + shown[2] + "\r\n");
  list->clearSelection();
  list->topLevelItem(1)->setSelected(true);
  list->CopySelected();
  EXPECT_EQ(QApplication::clipboard()->text(), "020698 " + shown[1] + "\r\n");
  // The log says the same unambiguously: a typed backslash is doubled, a hidden byte is "\xNN".
  EXPECT_NE(ReadWholeFile(logPath).find("\r\n"
                                        "  020798 Typed\\\\x0a.Name\\x1b]0;t\\x07-GRP\r\n"
                                        "  020698 Csi.\\xc2\\x9b"
                                        "8m.Hidden\\xe2\\x81\\xa6-GRP\r\n"
                                        "  020598 Rev.\\xe2\\x80\\xaePRG-GRP\r\n3 of 3 items"),
            std::string::npos)
      << ReadWholeFile(logPath);
}

TEST_F(KestrelView, RowsKeepTheBytesSentShowEachOneAndFindTheirNfoByThem) {
  // Binary columns hand out their bytes as stored, whatever the connection's character set.
  TestDbServer& server = scratch.Fresh();
  for (const char* column : {"DUPES DUPES_DIR", "NFOS NFOS_DIR", "NFO_DATA NFO_DATA_DIR"}) {
    const std::string c = column;
    server.Execute("ALTER TABLE " + c.substr(0, c.find(' ')) + " MODIFY " + c.substr(c.find(' ') + 1) +
                   " VARBINARY(255) NOT NULL");
  }
  const std::string nul("Nul.Test\0Before-GRP", 19);
  const std::string bad = "Bad.\xff\xc3.Bytes-GRP";
  const std::string markup = "<b>x</b><a href='http://update.example/'>y</a>-GRP";
  server.AddDupes(
      {{"1998-02-05", "020598", nul}, {"1998-02-06", "020698", bad}, {"1998-02-07", "020798", markup}});
  for (const std::string* dir : {&nul, &bad, &markup}) {
    const std::string info = "NFO of <b>" + *dir + "</b>";
    server.AddNfo(dir == &nul ? "020598" : dir == &bad ? "020698" : "020798", *dir, &info);
  }
  CKestrelView& form = Open({server.address(), server.address()});
  CResultListCtrl* list = FindById<CResultListCtrl>(form, IDC_RESULTS);
  Search("GRP");  // binary columns compare case and all
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(list->topLevelItemCount(), 3);
  // Newest first, as the form's order starts.
  const QString shown[] = {QString::fromStdString(markup), QString::fromUtf8("Bad.\ufffd\ufffd.Bytes-GRP"),
                           QString::fromUtf8("Nul.Test\u2400Before-GRP")};
  for (int row = 0; row < 3; ++row) EXPECT_EQ(list->topLevelItem(row)->text(1), shown[row]);
  list->CopyAll();
  EXPECT_EQ(QApplication::clipboard()->text(),
            "020798 " + shown[0] + "\r\n020698 " + shown[1] + "\r\n020598 " + shown[2] + "\r\n");

  // The lookup asks for the bytes sent; caption and text come back as plain text.
  for (int row = 0; row < 3; ++row) {
    list->clearSelection();
    list->topLevelItem(row)->setSelected(true);
    form.OnCommand(ID_RETRIEVE_NFO);
    const std::shared_ptr<WorkerRun> nfo = form.RunningWorker();
    ASSERT_NE(nfo, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return nfo->IsFinished(); }, 15000));
  }
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"3 of 3 items retrieved (3 total)"});  // no "no NFO"
  QStringList titles, texts;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* viewer = qobject_cast<CNfoViewerDlg*>(w);
    if (!viewer || !viewer->isVisible()) continue;
    titles << viewer->windowTitle();
    texts << viewer->TextField()->Text();
  }
  titles.sort(), texts.sort();
  EXPECT_EQ(titles, (QStringList{shown[0], shown[1], shown[2]}));
  EXPECT_EQ(texts, (QStringList{"NFO of <b>" + shown[0] + "</b>",
                                QString::fromUtf8("NFO of <b>Bad.\u00a0\u251c.Bytes-GRP</b>"),
                                "NFO of <b>" + shown[2] + "</b>"}));
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<CNfoViewerDlg*>(w)) delete w;
}

}  // namespace
