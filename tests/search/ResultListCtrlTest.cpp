#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "res/ResourceIds.h"
#include "search/ResultListCtrl.h"
#include "tests/support/RecordingMessageBox.h"

namespace {

class ResultList : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<QWidget>();
    window->setGeometry(100, 100, 480, 300);
    auto* layout = new QVBoxLayout(window.get());
    list = new CResultListCtrl(window.get());
    other = new QLineEdit(window.get());
    layout->addWidget(list);
    layout->addWidget(other);
    list->SetHighlightType(2);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
  }
  void TearDown() override { window.reset(); }

  void Add(const char* date, const char* dir) { list->addTopLevelItem(new QTreeWidgetItem({date, dir})); }
  void AddFour() {
    Add("063098", "beta.Release");
    Add("123197", "Alpha.Release");
    Add("010198", "alpha2.Release");
    Add("070199", "Gamma.Release");
  }
  QStringList Column(int c) const {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(c);
    return texts;
  }
  QPoint CellCentre(int row, int column) const {
    QRect r = list->visualItemRect(list->topLevelItem(row));
    return QPoint(list->header()->sectionViewportPosition(column) + list->header()->sectionSize(column) / 2,
                  r.center().y());
  }
  void Click(int row, int column, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, CellCentre(row, column));
  }
  void ClickHeader(int column) {
    QHeaderView* h = list->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + 10, h->height() / 2));
  }
  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->isSelected()) rows.push_back(i);
    return rows;
  }
  QColor PixelAt(int row, int x) {
    QImage image = list->viewport()->grab().toImage();
    return image.pixelColor(x, list->visualItemRect(list->topLevelItem(row)).center().y());
  }

  // Whether the top edge of the row's band carries anything but the plain band colour.
  bool FocusFrameDrawn(int row) {
    QImage image = list->viewport()->grab().toImage();
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    const QColor band = image.pixelColor(r.right() + 20, r.center().y());
    for (int x = r.right() + 5; x < image.width() - 5; ++x)
      if (image.pixelColor(x, r.top()) != band) return true;
    return false;
  }

  std::unique_ptr<QWidget> window;
  CResultListCtrl* list = nullptr;
  QLineEdit* other = nullptr;
  RecordingMessageBox boxes;
};

}  // namespace

TEST_F(ResultList, IsATwoColumnReportListNamedResults) {
  EXPECT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->headerItem()->text(0), "Date");
  EXPECT_EQ(list->headerItem()->text(1), "Directory");
  EXPECT_EQ(list->accessibleName(), "Results");
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_EQ(list->SetHighlightType(3), 2);  // ignored
  EXPECT_EQ(list->SetHighlightType(0), 2);
  EXPECT_EQ(list->SetHighlightType(2), 0);
}

TEST_F(ResultList, ClickAnywhereInARowSelectsItThenCtrlTogglesAndShiftExtends) {
  AddFour();
  other->setFocus();
  Click(1, 1);  // Directory column, well away from the date text
  EXPECT_EQ(SelectedRows(), std::vector<int>{1});
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
  EXPECT_TRUE(list->hasFocus());

  Click(3, 0);
  EXPECT_EQ(SelectedRows(), std::vector<int>{3});
  Click(1, 1, Qt::ControlModifier);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 3}));
  Click(3, 1, Qt::ControlModifier);
  EXPECT_EQ(SelectedRows(), std::vector<int>{1});
  Click(0, 1);
  EXPECT_EQ(SelectedRows(), std::vector<int>{0});
  Click(2, 1, Qt::ShiftModifier);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1, 2}));
}

TEST_F(ResultList, DateHeaderSortsByTheYearFirstAndReversesOnTheNextClick) {
  AddFour();
  const QStringList up = {"123197", "010198", "063098", "070199"};
  QStringList down = up;
  std::reverse(down.begin(), down.end());
  ClickHeader(0);
  EXPECT_EQ(Column(0), up);
  EXPECT_EQ(Column(1)[0], "Alpha.Release");  // rows move whole
  ClickHeader(0);
  EXPECT_EQ(Column(0), down);
  // The directory column keeps a direction of its own: its first click sorts ascending too.
  ClickHeader(1);
  EXPECT_EQ(Column(1)[0], "Alpha.Release");
  ClickHeader(0);
  EXPECT_EQ(Column(0), up);

  // Rows arriving afterwards are not sorted in.
  Add("010197", "late");
  EXPECT_EQ(Column(0).last(), "010197");
}

TEST_F(ResultList, DirectorySortIgnoresCaseAndKeepsTheSelection) {
  AddFour();
  Click(2, 1);  // alpha2.Release
  ClickHeader(1);
  const QStringList expected = {"Alpha.Release", "alpha2.Release", "beta.Release", "Gamma.Release"};
  EXPECT_EQ(Column(1), expected);
  const int row = expected.indexOf("alpha2.Release");
  EXPECT_EQ(SelectedRows(), std::vector<int>{row});
  EXPECT_EQ(list->currentItem(), list->topLevelItem(row));

  // Copy follows the sorted order.
  list->selectAll();
  list->CopySelected();
  QString text;
  for (int i = 0; i < 4; ++i)
    text += list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1) + "\r\n";
  EXPECT_EQ(QApplication::clipboard()->text(), text);
  EXPECT_TRUE(text.startsWith("123197 Alpha.Release\r\n"));
}

TEST_F(ResultList, CopyAllAndCopySelectedPlaceExactlyTheRows) {
  Add("010198", "First.Dir");
  Add("020298", "");
  Add("030398", "Third Dir");
  Add("040498", "Fourth");
  list->CopyAll();
  EXPECT_EQ(QApplication::clipboard()->text(),
            "010198 First.Dir\r\n020298 \r\n030398 Third Dir\r\n040498 Fourth\r\n");
  Click(1, 1);
  Click(3, 1, Qt::ControlModifier);
  list->CopySelected();
  EXPECT_EQ(QApplication::clipboard()->text(), "020298 \r\n040498 Fourth\r\n");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ResultList, NothingToCopyShowsTheMessageAndLeavesTheClipboard) {
  QApplication::clipboard()->setText("untouched");
  list->CopyAll();
  list->CopySelected();
  Add("010198", "dir");
  list->clearSelection();
  list->CopySelected();
  const auto shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, "There is nothing to copy!");
  EXPECT_EQ(shown[1].text, "There is nothing selected!");
  EXPECT_EQ(shown[2].text, "There is nothing selected!");
  for (const auto& b : shown) {
    EXPECT_EQ(b.caption, "Kestrel");
    EXPECT_EQ(b.flags, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(b.owner, static_cast<void*>(static_cast<QWidget*>(list)));
  }
  EXPECT_EQ(QApplication::clipboard()->text(), "untouched");
}

TEST_F(ResultList, PopupMenuHasItsCommandsAndTheOwnersCheckMarks) {
  QMenu* menu = list->PopupMenu();
  const QList<QAction*> actions = menu->actions();
  QStringList captions;
  for (QAction* a : actions) captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{"Copy &All", "&Copy Selected", "Clear Lis&t", "&Log Session", "Database &Statistics",
                         "Start &Minimized", "Keep Local &Index", "Retrieve &Nfo File"}));
  list->SetLogCheck(true);
  EXPECT_TRUE(actions[3]->isChecked());
  EXPECT_FALSE(actions[5]->isChecked());
  list->SetStartMinimizedCheck(true);
  list->SetLogCheck(false);
  EXPECT_FALSE(actions[3]->isChecked());
  EXPECT_TRUE(actions[5]->isChecked());
  EXPECT_FALSE(actions[6]->isChecked());
  list->SetLocalIndexCheck(true);
  EXPECT_TRUE(actions[6]->isChecked() && actions[5]->isChecked());

  // Commands go to the owner; a click does not move the check mark by itself.
  QSignalSpy spy(list, &CResultListCtrl::commandIssued);
  actions[3]->trigger();
  actions[5]->trigger();
  actions[0]->trigger();
  ASSERT_EQ(spy.count(), 3);
  EXPECT_EQ(spy[0][0].toUInt(), ID_LOG_SESSION);
  EXPECT_EQ(spy[1][0].toUInt(), ID_START_MINIMIZED);
  EXPECT_EQ(spy[2][0].toUInt(), ID_COPY_ALL);
  EXPECT_FALSE(actions[3]->isChecked());
  EXPECT_TRUE(actions[5]->isChecked());
}

TEST_F(ResultList, KeyboardOpensThePopupFivePixelsIntoTheListAndTheMouseAtTheCursor) {
  const QPoint expected = list->mapToGlobal(list->contentsRect().topLeft() + QPoint(5, 5));
  list->setFocus();
  for (Qt::Key key : {Qt::Key_F10, Qt::Key_Menu}) {
    QTest::keyClick(list, key, key == Qt::Key_F10 ? Qt::ShiftModifier : Qt::NoModifier);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == list->PopupMenu(); }, 2000));
    EXPECT_EQ(list->PopupMenu()->pos(), expected) << "key " << key;
    list->PopupMenu()->close();
    EXPECT_TRUE(QTest::qWaitFor([] { return !QApplication::activePopupWidget(); }, 2000));
  }
  const QPoint local(60, 40);
  QContextMenuEvent event(QContextMenuEvent::Mouse, local, list->viewport()->mapToGlobal(local));
  QApplication::sendEvent(list->viewport(), &event);
  EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == list->PopupMenu(); }, 2000));
  EXPECT_EQ(list->PopupMenu()->pos(), list->viewport()->mapToGlobal(local));
  list->PopupMenu()->close();
}

TEST_F(ResultList, SelectionBandFollowsTheHighlightModeAndKeepsActiveColoursWithoutFocus) {
  Add("010198", "dir");
  Add("020298", "other");
  const QColor highlight = list->palette().color(QPalette::Active, QPalette::Highlight);
  const QColor base = list->palette().color(QPalette::Active, QPalette::Base);
  const int beyond = list->header()->sectionViewportPosition(1) + list->header()->sectionSize(1) + 10;
  ASSERT_LT(beyond, list->viewport()->width()) << "the columns must leave room on the right";
  const int inColumn1 = list->header()->sectionViewportPosition(1) + list->header()->sectionSize(1) - 5;
  Click(0, 1);

  EXPECT_EQ(PixelAt(0, beyond), highlight);  // mode 2: to the right edge
  EXPECT_EQ(PixelAt(1, beyond), base);
  EXPECT_TRUE(FocusFrameDrawn(0));
  other->setFocus();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !list->hasFocus(); }));
  EXPECT_EQ(PixelAt(0, beyond), highlight);
  EXPECT_FALSE(FocusFrameDrawn(0));

  list->SetHighlightType(1);
  EXPECT_EQ(PixelAt(0, inColumn1), highlight);
  EXPECT_EQ(PixelAt(0, beyond), base);
  list->SetHighlightType(0);
  EXPECT_EQ(PixelAt(0, inColumn1), base);
  EXPECT_EQ(PixelAt(0, list->header()->sectionViewportPosition(0) + 3), highlight);
}
