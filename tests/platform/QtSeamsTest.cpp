#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/QtFileDialog.h"
#include "platform/QtMessageBox.h"

TEST(QtFileDialog, FilterListBecomesQtNameFilters) {
  EXPECT_EQ(ToQtNameFilters("Log Files (*.log)|*.log|All Files (*.*)|*.*||").toStdString(),
            "Log Files (*.log) (*.log);;All Files (*.*) (*)");
  EXPECT_EQ(ToQtNameFilters("All Files (*.*)| *.* ||").toStdString(), "All Files (*.*) (*)");
  EXPECT_EQ(ToQtNameFilters("").toStdString(), "");
}

// The defined names carry their patterns already; the list shows each name once, as defined.
TEST(QtFileDialog, FilterNamesShowAsDefined) {
  InstallQtFileDialog();
  std::string shown;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    for (int i = 0; i < types->count(); ++i) shown += types->itemText(i).toStdString() + ";";
    dialog->reject();
  });
  FileDialogRequest request;
  request.open = false;
  request.filter = "Log Files (*.log)|*.log|All Files (*.*)|*.*||";
  EXPECT_EQ(ShowFileDialog(request), std::nullopt);
  EXPECT_EQ(shown, "Log Files (*.log);All Files (*.*);");
  SetFileDialogHandler(nullptr);
}

// A worker thread's box appears on the UI thread, keeps its texts and icon, shows each line
// whole, and the worker gets the button the user pressed.
TEST(QtMessageBox, WorkerBoxIsShownOnUiThreadAndAnswered) {
  InstallQtMessageBox();
  const QString first =
      "The number of entries that will be retrieved is greater than 1000 (2000 to be exact).";
  std::atomic<int> answer{0};
  std::thread worker([&] {
    answer = ShowMessageBox(nullptr, (first + "\nAre <b>you</b> sure?").toStdString(), "Kestrel Warning",
                            MB_YESNO | MB_ICONEXCLAMATION);
  });
  // The box runs its own event loop inside ours, so it is found and answered from a timer.
  std::string title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::TextFormat format = Qt::AutoText;
  bool wholeLines = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    title = box->windowTitle().toStdString();
    text = box->text().toStdString();
    icon = box->icon();
    format = box->textFormat();
    for (const QLabel* label : box->findChildren<QLabel*>()) {
      if (label->text() != box->text()) continue;
      const QFontMetrics metrics = label->fontMetrics();
      wholeLines = label->contentsRect().width() >= metrics.horizontalAdvance(first) &&
                   label->contentsRect().height() < 3 * metrics.lineSpacing();
    }
    box->button(QMessageBox::No)->click();
  });
  poll.start(10);
  for (int i = 0; i < 500 && answer == 0; ++i) QTest::qWait(10);
  worker.join();
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(title, "Kestrel Warning");
  // A server's text is never markup.
  EXPECT_EQ(text, (first + "\nAre <b>you</b> sure?").toStdString());
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_TRUE(wholeLines);
  EXPECT_EQ(icon, QMessageBox::Warning);
  SetMessageBoxHandler(nullptr);
}

// A short text leaves the caption to decide the width: the title bar holds the caption, in its
// font (often bold, here large), beside the window icon and three buttons at least as wide as the
// text is high. A caption wider than the screen is cut, as a text is.
TEST(QtMessageBox, TheBoxIsAsWideAsItsCaptionNeeds) {
  InstallQtMessageBox();
  QFont titleFont = QApplication::font();
  titleFont.setPointSize(24);
  QApplication::setFont(titleFont, "QMdiSubWindowTitleBar");
  std::vector<int> widths;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    widths.push_back(box->width());
    box->button(QMessageBox::Ok)->click();
  });
  poll.start(10);
  ShowMessageBox(nullptr, "End Date Invalid", "Kestrel Error", MB_OK | MB_ICONEXCLAMATION);
  ShowMessageBox(nullptr, "Done", std::string(400, 'W'), MB_OK);
  ASSERT_EQ(widths.size(), 2u);
  titleFont.setBold(true);
  const QFontMetrics title(titleFont);
  EXPECT_GE(widths[0], title.horizontalAdvance("Kestrel Error") + 4 * title.height());
  EXPECT_LE(widths[1], QGuiApplication::primaryScreen()->availableGeometry().width());
  SetMessageBoxHandler(nullptr);
}

// A click on the blocked owner leaves the keys with the box.
TEST(QtMessageBox, TheKeysStayWithTheBoxAfterAClickOnItsOwner) {
  InstallQtMessageBox();
  QWidget owner;
  owner.show();
  const QString first =
      "The number of entries that will be retrieved is greater than 1000 (2000 to be exact).";
  bool ownerWasActive = false, clicked = false;
  QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &owner,
                   [&](QWindow* now) { ownerWasActive |= now && now == owner.windowHandle(); });
  QElapsedTimer waited;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (!clicked) {
      if (QApplication::activeWindow() != box) return;
      clicked = true;
      waited.start();
      owner.activateWindow();
    } else if (ownerWasActive && QApplication::activeWindow() == box) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else if (waited.elapsed() > 60000) {
      box->button(QMessageBox::No)->click();  // the keys never came back
    }
  });
  poll.start(10);
  EXPECT_EQ(ShowMessageBox(&owner, (first + "\nAre you sure?").toStdString(), "Kestrel Warning", MB_YESNO),
            IDYES);
  EXPECT_TRUE(ownerWasActive);
  SetMessageBoxHandler(nullptr);
}

// A box blocks its owner alone and is still an ordinary dialog: as a sheet, Wayland would draw it
// without its caption bar.
TEST(QtMessageBox, AnOwnedBoxIsADialogModalToItsOwner) {
  InstallQtMessageBox();
  QWidget owner;
  owner.show();
  Qt::WindowType type = Qt::Widget;
  Qt::WindowModality modality = Qt::NonModal;
  QString title;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    type = box->windowType();
    modality = box->windowModality();
    title = box->windowTitle();
    box->button(QMessageBox::Ok)->click();
  });
  poll.start(10);
  EXPECT_EQ(ShowMessageBox(&owner, "You must specify a search mask!", "Kestrel Error", MB_OK | MB_ICONSTOP),
            IDOK);
  EXPECT_EQ(type, Qt::Dialog);
  EXPECT_EQ(modality, Qt::WindowModal);
  EXPECT_EQ(title, QStringLiteral("Kestrel Error"));
  SetMessageBoxHandler(nullptr);
}

// Quit or a signal can take the owner away while its box waits for an answer.
TEST(QtMessageBox, OwnerDestroyedWhileTheBoxWaitsDeclines) {
  InstallQtMessageBox();
  auto* owner = new QWidget;
  owner->show();
  QTimer::singleShot(50, [owner] { delete owner; });
  EXPECT_EQ(ShowMessageBox(owner, "Proceed?", "Kestrel Warning", MB_YESNO | MB_ICONEXCLAMATION), IDNO);
  auto* other = new QWidget;
  QTimer::singleShot(50, [other] { delete other; });
  EXPECT_EQ(ShowMessageBox(other, "Done", "Kestrel", MB_OK), IDOK);
  SetMessageBoxHandler(nullptr);
}

// The same for a file dialog: it goes with its owner, and counts as cancelled.
TEST(QtFileDialog, OwnerDestroyedWhileTheDialogWaitsCancels) {
  InstallQtFileDialog();
  auto* owner = new QWidget;
  owner->show();
  QTimer::singleShot(50, [owner] { delete owner; });
  FileDialogRequest request;
  request.open = false;
  request.owner = owner;
  EXPECT_EQ(ShowFileDialog(request), std::nullopt);
  SetFileDialogHandler(nullptr);
}
