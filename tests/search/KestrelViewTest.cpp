#include <gtest/gtest.h>

#include <QAction>
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
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "search/ResultListCtrl.h"
#include "tests/controls/GuiTestApp.h"
#include "tests/search/KestrelViewFixture.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TestDbServer.h"

namespace {

TestDbServer& Server() {
  static TestDbServer* server = [] {
    auto* s = new TestDbServer;
    s->AddDupes({{"1998-02-05", "020598", "Shadow.Empire-GRP"},
                 {"1998-03-01", "030198", "Shadow.Runner-GRP"},
                 {"1999-07-04", "070499", "Shadow.Garden-GRP"},
                 {"1999-08-01", "080199", "Night.Signal-GRP"}});
    s->AddGeneratedDupes(1200, "Bulk");
    return s;
  }();
  return *server;
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
    view->MaskCombo()->setEditText(mask);
    QTest::mouseClick(view->DupeButton(), Qt::LeftButton);
  }
};

TEST_F(KestrelView, FirstStartShowsTheDefaults) {
  CKestrelView& form = Open();
  EXPECT_EQ(form.LimitEdit()->text(), "20");
  EXPECT_FALSE(form.GetAllCheck()->isChecked());
  EXPECT_FALSE(form.BetweenCheck()->isChecked());
  EXPECT_FALSE(form.StartDateEdit()->isEnabled());
  EXPECT_FALSE(form.EndDateEdit()->isEnabled());
  const QString empty = QString::fromStdString("__" + Sep() + "__" + Sep() + "____");
  EXPECT_EQ(form.StartDateEdit()->GetDisplayText(), empty);
  EXPECT_EQ(form.EndDateEdit()->text(), empty);
  ASSERT_EQ(form.OrderList()->count(), 2);
  EXPECT_EQ(form.OrderList()->item(0)->text(), "FIRST->LAST");
  EXPECT_EQ(form.OrderList()->currentItem()->text(), "LAST->FIRST");
  EXPECT_EQ(form.StatusText(), "Idle");
  EXPECT_EQ(form.ButtonCaption(), "Dupe !");
  EXPECT_EQ(form.ResultList()->headerItem()->text(0), "Date");
  EXPECT_EQ(form.ResultList()->columnWidth(1), 350);
  EXPECT_EQ(form.ResultList()->GetHighlightType(), 2);
  EXPECT_EQ(form.LogFilePath(), "");  // no key yet: the read gives ""
  EXPECT_TRUE(form.MaskCombo()->hasFocus() || !QApplication::focusWidget());
  // What a screen reader says of each control.
  EXPECT_EQ(form.MaskCombo()->accessibleName(), "Search Mask:");
  EXPECT_EQ(form.LimitEdit()->accessibleName(), "# to Retrieve:");
  EXPECT_EQ(form.OrderList()->accessibleName(), "Order:");
  EXPECT_EQ(form.StartDateEdit()->accessibleName(), "Start date");
  EXPECT_EQ(form.EndDateEdit()->accessibleName(), "End date");
  EXPECT_EQ(form.ResultList()->accessibleName(), "Results");
  EXPECT_EQ(form.StatusLine()->accessibleName(), "Status");
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
  EXPECT_TRUE(form.GetAllCheck()->isChecked());
  EXPECT_FALSE(form.LimitEdit()->isEnabled());
  EXPECT_EQ(form.LimitEdit()->text(), "-7");
  EXPECT_EQ(form.m_nLimit, -7);
  EXPECT_EQ(form.StartDateEdit()->GetInputText(), "12311998");
  EXPECT_EQ(form.EndDateEdit()->GetInputText(), "________");
  EXPECT_TRUE(form.StartDateEdit()->isEnabled());
  EXPECT_EQ(form.OrderList()->currentRow(), 0);
  EXPECT_TRUE(form.IsLogging());
  EXPECT_EQ(form.LogFilePath(), "/tmp/session.log");
  EXPECT_TRUE(form.IsStartMinimized());

  // "Retrieve All" keeps the number shown; unticking "Between:" keeps the dates shown.
  form.LimitEdit()->setEnabled(true);
  form.LimitEdit()->setText("55");
  QTest::mouseClick(form.BetweenCheck(), Qt::LeftButton);
  form.m_strStartBound = "stale";
  QTest::mouseClick(form.BetweenCheck(), Qt::LeftButton);
  QTest::mouseClick(form.BetweenCheck(), Qt::LeftButton);
  EXPECT_EQ(form.m_strStartBound, "");
  EXPECT_FALSE(form.StartDateEdit()->isEnabled());
  form.OrderList()->setCurrentRow(1);
  form.MaskCombo()->setEditText("older");
  form.MaskCombo()->AddToHistory();
  form.MaskCombo()->setEditText("newest");
  form.MaskCombo()->AddToHistory();
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

TEST_F(KestrelView, ALimitThatIsNoWholeNumberIsReportedAndTheOldValuesStand) {
  CKestrelView& form = Open();
  form.GetAllCheck()->setChecked(true);
  form.LimitEdit()->setText("12abc");
  EXPECT_FALSE(form.UpdateData(true));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Please enter an integer.");
  EXPECT_EQ(boxes.Boxes()[0].caption, "Kestrel 7.5");
  EXPECT_EQ(boxes.Boxes()[0].flags, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(form.m_nLimit, 20);
  EXPECT_EQ(form.m_bGetAll, 0);  // the exchange stopped at the limit

  for (const char* bad : {"", " ", "1.5", "99999999999", "2147483648", "--1", "0x10"}) {
    form.LimitEdit()->setText(bad);
    EXPECT_FALSE(form.UpdateData(true, true)) << bad;
  }
  for (auto [text, value] : {std::pair{" 42 ", 42}, {"-2147483648", INT32_MIN}, {"+7", 7}}) {
    form.LimitEdit()->setText(text);
    EXPECT_TRUE(form.UpdateData(true, true)) << text;
    EXPECT_EQ(form.m_nLimit, value);
  }

  // On the way out the last good limit is saved.
  form.LimitEdit()->setText("x");
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
  form.MaskCombo()->setFocus();
  form.MaskCombo()->setEditText("shadow");
  QTest::keyClick(form.MaskCombo()->lineEdit(), Qt::Key_Return);
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
  ASSERT_EQ(form.ResultList()->topLevelItemCount(), 3);
  EXPECT_EQ(form.ResultList()->topLevelItem(0)->text(0), "070499");  // newest first
  EXPECT_EQ(form.ResultList()->topLevelItem(0)->text(1), "Shadow.Garden-GRP");
  EXPECT_EQ(form.MaskCombo()->GetHistoryString(), "shadow");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Dupe Successful");
  EXPECT_EQ(boxes.Boxes()[0].owner, &form);
  EXPECT_TRUE(Server().WaitGuestConnections(0, 5000));

  // Oldest first, within a date range typed into the date boxes.
  form.OrderList()->setCurrentRow(0);
  QTest::mouseClick(form.BetweenCheck(), Qt::LeftButton);
  form.StartDateEdit()->SetInputText("01011998");
  form.EndDateEdit()->SetInputText("12311998");
  // This time by the keypad's Enter, from a date box.
  form.MaskCombo()->setEditText("shadow");
  form.EndDateEdit()->setFocus();
  QTest::keyClick(form.EndDateEdit(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(form.ButtonCaption(), "Cancel");
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(form.ResultList()->topLevelItemCount(), 2);
  EXPECT_EQ(form.ResultList()->topLevelItem(0)->text(1), "Shadow.Empire-GRP");
  EXPECT_EQ(form.m_strStartBound, "1998-01" + Sep() + "01");
  EXPECT_EQ(form.StatusText(), "2 of 2 items retrieved (1204 total)");
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
  form.LimitEdit()->setText("0");
  Search("shadow");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Amount to search for must be positive!"});
}

TEST_F(KestrelView, CancelBeforeTheConnectGoesStraightToIdle) {
  SilentListener silent;
  CKestrelView& form = Open({silent.address(), silent.address()});
  RecordStatus();
  Search("shadow");
  ASSERT_TRUE(WaitUntil([&] { return form.StatusText() == "Testing Database Availability"; }, 15000));
  const auto start = std::chrono::steady_clock::now();
  QTest::mouseClick(form.DupeButton(), Qt::LeftButton);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
  EXPECT_EQ(form.StatusText(), "Idle");
  std::shared_ptr<WorkerRun> run = form.RunningWorker();
  EXPECT_EQ(run, nullptr);
  QTest::qWait(300);
  const std::vector<std::string> expected = {"Testing Database Availability", "Idle"};
  EXPECT_EQ(statuses, expected);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(KestrelView, CancelWhileConnectedDisconnectsAndKeepsTheFormQuiet) {
  CKestrelView& form = Open(Good());
  RecordStatus();
  // The server stops answering once the count is under way.
  QObject::connect(form.StatusLine(), &QLineEdit::textChanged, [](const QString& text) {
    if (text == "Finding number of entries matching mask") Server().Pause();
  });
  Search("shadow");
  ASSERT_TRUE(
      WaitUntil([&] { return form.StatusText() == "Finding number of entries matching mask"; }, 15000));
  QTest::mouseClick(form.DupeButton(), Qt::LeftButton);
  Server().Resume();
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
  EXPECT_EQ(form.StatusText(), "Idle");
  QTest::qWait(300);
  const std::vector<std::string> tail(statuses.end() - 2, statuses.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Disconnecting from database", "Idle"}));
  EXPECT_EQ(statuses[statuses.size() - 3], "Finding number of entries matching mask");
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(form.ResultList()->topLevelItemCount(), 0);
  EXPECT_TRUE(Server().WaitGuestConnections(0, 5000));
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
  ASSERT_EQ(form.ResultList()->topLevelItemCount(), 2);
  EXPECT_EQ(form.ResultList()->topLevelItem(0)->text(1), "Third-GRP");
  EXPECT_EQ(form.ResultList()->topLevelItem(1)->text(1), "Fourth-GRP");
}

TEST_F(KestrelView, ListCommandsAndStartMinimized) {
  CKestrelView& form = Open(Good());
  Search("shadow");
  ASSERT_TRUE(WaitIdle());
  ASSERT_GT(form.ResultList()->topLevelItemCount(), 0);
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
  EXPECT_EQ(form.ResultList()->topLevelItemCount(), 0);
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
  EXPECT_FALSE(form.OnCommand(12345));
}

TEST_F(KestrelView, TabWalksTheFormAndNfoWaitsWhileBusy) {
  SilentListener silent;
  CKestrelView& form = Open({silent.address(), silent.address()});
  // Template order, skipping what cannot take the focus now (the disabled date boxes).
  std::vector<QWidget*> chain;
  QWidget* w = form.MaskCombo();
  for (int i = 0; i < 200 && w && chain.size() < 8; ++i, w = w->nextInFocusChain()) {
    if (w->parentWidget() == &form && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) chain.push_back(w);
  }
  const std::vector<QWidget*> expected = {form.MaskCombo(),   form.BetweenCheck(), form.LimitEdit(),
                                          form.GetAllCheck(), form.OrderList(),    form.ResultList(),
                                          form.DupeButton(),  form.QuitButton()};
  EXPECT_EQ(std::vector<QWidget*>(chain.begin(), chain.begin() + std::min(chain.size(), expected.size())),
            expected);

  auto nfoAction = [&]() -> QAction* {
    for (QAction* action : form.ResultList()->PopupMenu()->actions())
      if (action->text() == "Retrieve &Nfo File") return action;
    return nullptr;
  };
  ASSERT_NE(nfoAction(), nullptr);
  Search("shadow");
  emit form.ResultList()->PopupMenu()->aboutToShow();
  EXPECT_FALSE(nfoAction()->isEnabled());
  std::shared_ptr<WorkerRun> search = form.RunningWorker();
  form.OnCommand(ID_RETRIEVE_NFO);  // refused: the search keeps the button
  EXPECT_EQ(form.RunningWorker(), search);
  QTest::mouseClick(form.DupeButton(), Qt::LeftButton);
  emit form.ResultList()->PopupMenu()->aboutToShow();
  EXPECT_TRUE(nfoAction()->isEnabled());

  // "Retrieve Nfo" and a press of the button in the same turn of the event loop: the press
  // finds "Cancel" and stops the retrieval instead of starting a search beside it.
  form.ResultList()->addTopLevelItem(new QTreeWidgetItem({"020598", "Shadow.Empire-GRP"}));
  form.ResultList()->topLevelItem(0)->setSelected(true);
  form.OnCommand(ID_RETRIEVE_NFO);
  std::shared_ptr<WorkerRun> nfo = form.RunningWorker();
  ASSERT_NE(nfo, nullptr);
  form.DupeButton()->click();
  EXPECT_TRUE(nfo->IsStopped());
  EXPECT_EQ(form.RunningWorker(), nullptr);
  EXPECT_EQ(form.ButtonCaption(), "Dupe!");
}

}  // namespace
