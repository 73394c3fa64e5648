#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "db/DupesConnection.h"
#include "platform/MessageBox.h"
#include "platform/QtMessageBox.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "search/NfoCommand.h"
#include "search/NfoTextView.h"
#include "search/NfoViewerDlg.h"
#include "search/ResultListCtrl.h"
#include "search/WorkerPorts.h"
#include "tests/support/FindById.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/SettingsFixture.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/SilentListener.h"

namespace {

using Texts = std::vector<std::string>;

const std::string kArt =
    "\xda\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xbf  \xc9\xcd\xcd\xcd\xcd\xcd\xcd\xbb\r\n"
    "\xb3 \xdb\xdb\xdb\xdb\xdb\xdb\xdb\xdb \xb3  \xba\xb0\xb1\xb2\xdb\xb2\xb1\xba\r\n"
    "\xb3 \xdb\xdb\xdf\xdf\xdf\xdf\xdb\xdb \xb3  \xba\xb0\xb1\xb2\xdb\xb2\xb1\xba\r\n"
    "\xb3 \xdb\xdb\xdc\xdc\xdc\xdc\xdb\xdb \xb3  \xc8\xcd\xcd\xcd\xcd\xcd\xcd\xbc\r\n"
    "\xc0\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xc4\xd9  Kestrel NFO\r\n";

class NfoViewer : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    InitDupesLibrary();
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<CNfoViewerDlg*>(w)) delete w;
    SettingsFixture::TearDown();
  }

  static int ViewerCount() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += qobject_cast<CNfoViewerDlg*>(w) != nullptr;
    return n;
  }

  RecordingMessageBox boxes;
};

// A stand-in for the search form: the results list, and its status line, caption and repaint
// writing into a record.
class Form : public FormPort {
 public:
  Form() {
    window.setGeometry(50, 50, 480, 300);
    auto* layout = new QVBoxLayout(&window);
    list = new CResultListCtrl(&window);
    layout->addWidget(list);
    window.show();
  }
  void SetStatusText(const std::string& t) override { events.push_back("status:" + t); }
  void SetButtonCaption(const std::string& t) override { events.push_back("caption:" + t); }
  void Repaint() override { events.push_back("repaint"); }
  void Add(const char* date, const char* dir) { list->addTopLevelItem(new QTreeWidgetItem({date, dir})); }
  void Select(const std::vector<int>& rows) {
    list->clearSelection();
    for (int r : rows) list->topLevelItem(r)->setSelected(true);
  }
  Texts Statuses() const {
    Texts out;
    for (const auto& e : events)
      if (e.rfind("status:", 0) == 0) out.push_back(e.substr(7));
    return out;
  }

  QWidget window;
  CResultListCtrl* list;
  Texts events;
};

bool WaitFinished(const std::shared_ptr<WorkerRun>& run) {
  return QTest::qWaitFor([&] { return run->IsFinished(); }, 20000);
}

}  // namespace

TEST_F(NfoViewer, IsBuiltHiddenFromItsTemplateWithAnUnwrappedTerminalFont) {
  CNfoViewerDlg viewer;
  EXPECT_TRUE(viewer.isHidden());
  EXPECT_FALSE(viewer.isModal());
  EXPECT_EQ(viewer.windowTitle(), "Dialog");
  const Qt::WindowFlags flags = viewer.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint));

  const DialogBuilder builder(*LoadDialogTemplate(IDD_NFO_VIEWER));
  EXPECT_EQ(viewer.size(), builder.DialogSize());
  const QPoint offCentre =
      viewer.geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 2);
  const QRect ok = builder.ControlRect(*builder.Template().FindControl(IDOK_CONTROL));
  EXPECT_EQ(FindById<QPushButton>(viewer, IDOK_CONTROL)->size(), ok.size());
  EXPECT_EQ(viewer.BottomGap(), viewer.height() - (ok.y() + ok.height()));
  EXPECT_TRUE(FindById<QPushButton>(viewer, IDOK_CONTROL)->isDefault());

  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);
  EXPECT_EQ(text->geometry(), builder.ControlRect(*builder.Template().FindControl(IDC_NFO_TEXT)));
  const QFontInfo font(text->font());
  EXPECT_EQ(font.family(), "DejaVu Sans Mono");
  EXPECT_TRUE(font.fixedPitch());
  EXPECT_FALSE(text->accessibleName().isEmpty());
}

TEST_F(NfoViewer, ResizeKeepsOkCentredAtItsGapAndTheTextFollowingTheWindow) {
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  const QSize okSize = FindById<QPushButton>(viewer, IDOK_CONTROL)->size();
  const int gap = viewer.BottomGap();
  const QSize start = viewer.size();
  const QRect text0 = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT)->geometry();
  // Narrower and lower, wider and taller (each leaves an odd width to halve), taller only, back.
  const QSize sizes[] = {start - QSize(37, 23), start + QSize(101, 59),
                         QSize(start.width(), start.height() + 10), start};
  for (const QSize& size : sizes) {
    viewer.resize(size);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.size() == size; }, 2000)) << size.width();
    const int w = size.width(), h = size.height();
    EXPECT_EQ(FindById<QPushButton>(viewer, IDOK_CONTROL)->geometry(),
              QRect(QPoint((w - okSize.width()) / 2, h - gap - okSize.height()), okSize))
        << w << "x" << h;
    EXPECT_EQ(FindById<CNfoTextView>(viewer, IDC_NFO_TEXT)->geometry(),
              QRect(text0.topLeft(), text0.size() + (size - start)))
        << w << "x" << h;
  }
}

TEST_F(NfoViewer, OkAndEscHideItAndItGoesWithItsOwner) {
  auto* owner = new QWidget;
  QPointer<CNfoViewerDlg> viewer = new CNfoViewerDlg(owner);
  EXPECT_EQ(viewer->parentWidget(), nullptr);
  viewer->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
  QTest::mouseClick(FindById<QPushButton>(*viewer, IDOK_CONTROL), Qt::LeftButton);
  EXPECT_TRUE(viewer->isHidden());

  viewer->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
  viewer->activateWindow();
  QTest::keyClick(viewer, Qt::Key_Escape);
  EXPECT_TRUE(viewer->isHidden());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_FALSE(viewer.isNull());

  delete owner;
  EXPECT_TRUE(viewer.isNull());
}

TEST_F(NfoViewer, TextIsShownUnwrappedWithItsLineEndsAndReadAsAWhole) {
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);

  const std::string longLine(400, 'x');
  viewer.SetNfoText(longLine + "\r\nsecond\nthird\r\n");
  EXPECT_EQ(text->Prepared().lineCount, 4u);
  EXPECT_GT(text->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(text->Text(), QString::fromStdString(longLine) + "\nsecond\nthird\n");

  // Valid UTF-8 as a whole stays UTF-8; a single byte that is not makes all of it CP437.
  viewer.SetNfoText("\xe2\x96\x88 caf\xc3\xa9");
  EXPECT_EQ(text->Text(), QString::fromUtf8("\u2588 caf\u00e9"));
  viewer.SetNfoText("\xdb caf\xc3\xa9");
  EXPECT_EQ(text->Text(), QString::fromUtf8("\u2588 caf\u251c\u2310"));

  // Only what is in sight is drawn, and it is what belongs there: the far end of a long line,
  // with and without a tab before it.
  auto darkPixels = [&] {
    const QImage image = text->viewport()->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 128;
    return n;
  };
  for (const char* gap : {"", "\t"}) {
    viewer.SetNfoText(std::string(100000, ' ') + gap + "\xdb\xdb\r\n");
    EXPECT_EQ(darkPixels(), 0) << gap;
    text->horizontalScrollBar()->setValue(text->horizontalScrollBar()->maximum());
    EXPECT_GT(darkPixels(), 0) << gap;
  }
}

// Press sets the anchor, a drag or a shift+click moves the other end, the keys extend from the
// caret (tabs laid out as drawn); Ctrl+C copies lines joined by LF, drawn in the highlight.
TEST_F(NfoViewer, MouseAndKeysSelectWhatIsShownAndCopyIt) {
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);
  QWidget* port = text->viewport();
  viewer.SetNfoText("first line\r\nsecond\tx\r\nthird\r\n");
  text->setFocus();
  auto at = [&](size_t line, size_t offset) {
    return text->CellRect({line, offset}).topLeft() + QPoint(1, 2);
  };
  auto highlighted = [&] {
    const QImage image = port->grab().toImage();
    const QRgb highlight = text->palette().color(QPalette::Highlight).rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == highlight;
    return n;
  };
  EXPECT_EQ(highlighted(), 0);

  QTest::mousePress(port, Qt::LeftButton, {}, at(0, 6));
  QTest::mouseMove(port, at(1, 3));
  QTest::mouseRelease(port, Qt::LeftButton, {}, at(1, 3));
  EXPECT_EQ(text->SelectedText(), "line\nsec");
  EXPECT_GT(highlighted(), 0);
  QApplication::clipboard()->clear();
  QTest::keySequence(text, QKeySequence::Copy);
  EXPECT_EQ(QApplication::clipboard()->text(), "line\nsec");
  QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, at(2, 2));
  EXPECT_EQ(text->SelectedText(), "line\nsecond\tx\nth");

  // The x after the tab is drawn in column 8.
  QTest::mouseClick(port, Qt::LeftButton, {},
                    text->CellRect({1, 0}).topLeft() + QPoint(8 * text->CellRect({1, 0}).width() + 1, 2));
  EXPECT_EQ(text->Caret().offset, 7u);
  EXPECT_FALSE(text->HasSelection());
  QTest::keyClick(text, Qt::Key_Home, Qt::ShiftModifier);
  EXPECT_EQ(text->SelectedText(), "second\t");
  QTest::keyClick(text, Qt::Key_End);
  QTest::keyClick(text, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(text, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(text->SelectedText(), "\nt");
  QTest::keyClick(text, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(text->SelectedText(), "econd\tx");
  QTest::keyClick(text, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(text, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(text->SelectedText(), "\nthird\n");
  QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(text->SelectedText(), "first line\nsecond\tx");

  QTest::keyClick(text, Qt::Key_Left);
  QTest::keySequence(text, QKeySequence::SelectAll);
  QTest::keySequence(text, QKeySequence::Copy);
  EXPECT_EQ(QApplication::clipboard()->text(), text->Text());

  // A long text keeps its caret line in sight.
  std::string lines;
  for (int i = 0; i < 500; ++i) lines += "line " + std::to_string(i) + "\r\n";
  viewer.SetNfoText(lines);
  QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(text, Qt::Key_PageUp, Qt::ShiftModifier);
  QTest::keyClick(text, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_TRUE(port->rect().contains(text->CellRect(text->Caret()).center()));
  EXPECT_TRUE(text->SelectedText().startsWith("line 4"));
  EXPECT_TRUE(text->SelectedText().endsWith("line 499\n"));
}

// A drag held beyond any edge scrolls that way, step after step, the selection following to it.
TEST_F(NfoViewer, DraggingBeyondAnEdgeScrollsThatWay) {
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);
  QWidget* port = text->viewport();
  std::string lines = "line" + std::string(400, '.');
  for (int i = 0; i < 300; ++i) lines += "\r\nline" + std::string(400, '.');
  viewer.SetNfoText(lines);
  QScrollBar* v = text->verticalScrollBar();
  QScrollBar* h = text->horizontalScrollBar();
  v->setValue(100);
  h->setValue(h->maximum() / 2);
  const QPoint middle = port->rect().center(), below(port->width() + 100, port->height() + 100);
  const CNfoTextView::Position pressed = text->PositionAt(middle);

  QTest::mousePress(port, Qt::LeftButton, {}, middle);
  QTest::mouseMove(port, QPoint(-100, -100));
  EXPECT_TRUE(QTest::qWaitFor([&] { return v->value() == 0 && h->value() == 0; }, 20000));
  QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(-100, -100));
  EXPECT_EQ(text->Caret(), CNfoTextView::Position{});
  EXPECT_EQ(text->Anchor(), pressed);

  QTest::mousePress(port, Qt::LeftButton, {}, middle);
  QTest::mouseMove(port, below);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return v->value() == v->maximum() && h->value() == h->maximum(); }, 20000));
  QTest::mouseRelease(port, Qt::LeftButton, {}, below);
  EXPECT_EQ(text->Caret().line, text->Prepared().lineCount - 1);
}

// Ctrl+Left and Ctrl+Right stop at each word, at each run of text art or punctuation, and at
// line ends; Shift extends. A 16 MiB word is crossed in bounded steps, never walked whole.
TEST_F(NfoViewer, CtrlLeftAndRightMoveByWords) {
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);
  viewer.SetNfoText("  Kestrel_v2, by\tGRP \u2550\u2550\u2557\r\nnext\r\n");  // text art last
  const auto stops = [&](Qt::Key key, Qt::KeyboardModifiers extra = {}) {
    std::vector<size_t> at;
    for (int i = 0; i < 7; ++i) {
      QTest::keyClick(text, key, Qt::ControlModifier | extra);
      at.push_back(text->Caret().line * 100 + text->Caret().offset);
    }
    return at;
  };
  EXPECT_EQ(stops(Qt::Key_Right), (std::vector<size_t>{2, 12, 14, 17, 21, 24, 100}));
  EXPECT_EQ(stops(Qt::Key_Left, Qt::ShiftModifier), (std::vector<size_t>{24, 21, 17, 14, 12, 2, 0}));
  EXPECT_EQ(text->SelectedText(), "  Kestrel_v2, by\tGRP \u2550\u2550\u2557\n");

  viewer.SetNfoText(std::string(16 << 20, 'x'));
  QTest::keyClick(text, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_GT(text->Caret().offset, 0u);
  EXPECT_LT(text->Caret().offset, size_t{16} << 20);
}

// A selection made with the mouse is offered to a middle click where the desktop has a primary
// selection (under X11: the x11 variant of this test runs it).
TEST_F(NfoViewer, AMouseSelectionBecomesThePrimarySelection) {
  QClipboard* clipboard = QApplication::clipboard();
  if (!clipboard->supportsSelection()) GTEST_SKIP() << "no primary selection on this platform";
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);
  viewer.SetNfoText("first line\r\nsecond word\r\n");
  const QPoint from = text->CellRect({0, 6}).topLeft() + QPoint(1, 2);
  const QPoint to = text->CellRect({1, 3}).topLeft() + QPoint(1, 2);
  QTest::mousePress(text->viewport(), Qt::LeftButton, {}, from);
  QTest::mouseMove(text->viewport(), to);
  QTest::mouseRelease(text->viewport(), Qt::LeftButton, {}, to);
  EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard->text(QClipboard::Selection) == "line\nsec"; }, 5000));
  EXPECT_NE(clipboard->text(QClipboard::Clipboard), "line\nsec");
}

TEST_F(NfoViewer, AScreenReaderReadsTheTextBoundedAndTheCaretLine) {
  CNfoViewerDlg viewer;
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  CNfoTextView* text = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT);
  viewer.SetNfoText("first line\r\nsecond word\r\n");
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(text);
  ASSERT_TRUE(face);
  EXPECT_EQ(face->role(), QAccessible::EditableText);
  EXPECT_TRUE(face->state().readOnly && face->state().multiLine);
  EXPECT_EQ(face->text(QAccessible::Name), text->accessibleName());
  EXPECT_EQ(face->text(QAccessible::Value), "first line\nsecond word\n");

  QAccessibleTextInterface* lines = face->textInterface();
  ASSERT_TRUE(lines);
  QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, text->CellRect({1, 8}).topLeft() + QPoint(1, 2));
  EXPECT_EQ(lines->cursorPosition(), 11 + 8);
  int start = 0, end = 0;
  EXPECT_EQ(lines->textAtOffset(lines->cursorPosition(), QAccessible::LineBoundary, &start, &end),
            "second word\n");
  EXPECT_EQ(lines->textAtOffset(lines->cursorPosition(), QAccessible::WordBoundary, &start, &end), "word");
  EXPECT_EQ(lines->textBeforeOffset(lines->cursorPosition(), QAccessible::LineBoundary, &start, &end),
            "first line\n");
  lines->setSelection(0, 6, 13);
  EXPECT_EQ(text->SelectedText(), "line\nse");

  viewer.SetNfoText(std::string(200000, 'n'));
  EXPECT_EQ(face->text(QAccessible::Value), QString(64 * 1024, 'n'));
  EXPECT_EQ(lines->characterCount(), 200000);
}

TEST_F(NfoViewer, BlockArtJoinsAcrossLinesAndCells) {
  CNfoViewerDlg viewer;
  viewer.setWindowTitle("Art.Release-GRP");
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  viewer.SetNfoText("\xdb\xdb\xdb\xdb\xdb\xdb\r\n\xdb\xdb\xdb\xdb\xdb\xdb\r\n\xdb\xdb\xdb\xdb\xdb\xdb\r\n");
  const QImage image = FindById<CNfoTextView>(viewer, IDC_NFO_TEXT)->viewport()->grab().toImage();
  QRect dark;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) dark |= QRect(x, y, 1, 1);
  const QFontMetrics metrics(CNfoViewerDlg::TerminalFont());
  ASSERT_GE(dark.height(), 3 * metrics.lineSpacing() - 1);
  ASSERT_GE(dark.width(), 6 * metrics.horizontalAdvance('x') - 1);
  // Inside the outline no pixel is even grey: no seam between lines or cells.
  int seams = 0;
  for (int y = dark.top() + 1; y < dark.bottom(); ++y)
    for (int x = dark.left() + 1; x < dark.right(); ++x) seams += qGray(image.pixel(x, y)) > 64;
  EXPECT_EQ(seams, 0);

  if (const char* path = std::getenv("KESTREL_NFO_SCREENSHOT")) {
    viewer.SetNfoText(kArt);
    viewer.grab().save(QString::fromLocal8Bit(path));
  }
}

TEST_F(NfoViewer, CommandWantsExactlyOneSelectedRow) {
  Form form;
  form.Add("020598", "One-GRP");
  form.Add("030598", "Two-GRP");
  form.Add("040598", "Three-GRP");
  const DupesEndpoints nowhere;
  struct Case {
    std::vector<int> rows;
    std::string text;
  };
  const Case cases[] = {{{}, "There is nothing selected!"},
                        {{0, 2}, "You may only select 1 item!"},
                        {{1, 2}, "You may only select 1 item!"}};
  for (const Case& k : cases) {
    boxes.Clear();
    form.Select(k.rows);
    EXPECT_EQ(RetrieveNfoFile(&form.window, form, form.list, nowhere), nullptr);
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u) << k.text;
    EXPECT_EQ(shown[0].owner, &form.window);
    EXPECT_EQ(shown[0].text, k.text);
    EXPECT_EQ(shown[0].caption, "Kestrel");
    EXPECT_EQ(shown[0].flags, MB_OK | MB_ICONEXCLAMATION);
  }
  EXPECT_EQ(ViewerCount(), 0);
  EXPECT_TRUE(form.events.empty());
}

namespace {

const std::string kSecond = "It's \\ Second-GRP";

// The retrieval cases' rows: two with their NFO, one without.
SharedDbServer shared("server", [](TestDbServer& s) {
  s.AddNfo("020598", "First-GRP", &kArt);
  s.AddNfo("030598", kSecond, &kSecond);
  s.AddNfo("040598", "No.Data-GRP", nullptr);
});

}  // namespace

TEST_F(NfoViewer, TwoRetrievalsLeaveTwoViewersEachCaptionedByItsDirectory) {
  TestDbServer& server = *shared;
  LoopbackAddress refused;
  const std::string& second = kSecond;
  const DupesEndpoints ends{server.address(), refused.address()};
  Form form;
  form.Add("020598", "First-GRP");
  form.Add("030598", second.c_str());

  std::vector<CNfoViewerDlg*> viewers;
  for (int row : {0, 1}) {
    form.events.clear();
    form.Select({row});
    CNfoViewerDlg* viewer = nullptr;
    auto run = RetrieveNfoFile(&form.window, form, form.list, ends, &viewer);
    ASSERT_TRUE(run && viewer);
    EXPECT_TRUE(viewer->isHidden());
    EXPECT_EQ(viewer->Date(), form.list->topLevelItem(row)->text(0));
    EXPECT_EQ(viewer->Directory(), form.list->topLevelItem(row)->text(1));
    ASSERT_TRUE(WaitFinished(run));
    EXPECT_EQ(form.events.front(), "caption:Cancel");
    EXPECT_EQ(form.Statuses(), (Texts{"Testing Database Availability", "Connecting to Database",
                                      "Retrieving NFO Data", "Disconnecting from database", "Idle"}));
    EXPECT_EQ(std::count(form.events.begin(), form.events.end(), "repaint"), 5);
    EXPECT_EQ(form.events.end()[-3], "caption:Dupe!");
    EXPECT_TRUE(viewer->isVisible());
    viewers.push_back(viewer);
  }
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(ViewerCount(), 2);
  EXPECT_TRUE(viewers[0]->isVisible() && viewers[1]->isVisible());
  EXPECT_EQ(viewers[0]->windowTitle(), "First-GRP");
  EXPECT_EQ(viewers[1]->windowTitle(), QString::fromStdString(second));
  EXPECT_EQ(FindById<CNfoTextView>(*viewers[1], IDC_NFO_TEXT)->Text(), QString::fromStdString(second));
  EXPECT_TRUE(FindById<CNfoTextView>(*viewers[0], IDC_NFO_TEXT)
                  ->Text()
                  .startsWith(QString::fromUtf8("\u250c\u2500\u2500")));

  // Deleted with the form's window, not before; OK lets its text go.
  QPointer<CNfoViewerDlg> first = viewers[0];
  FindById<QPushButton>(*viewers[0], IDOK_CONTROL)->click();
  EXPECT_FALSE(first.isNull());
  EXPECT_LT(FindById<CNfoTextView>(*viewers[0], IDC_NFO_TEXT)->Prepared().characters.capacity(), 16u);
}

TEST_F(NfoViewer, WorkerMessagesBelongToTheHiddenViewerWhichStaysHidden) {
  TestDbServer& server = *shared;
  LoopbackAddress refused;
  Form form;
  form.Add("040598", "No.Data-GRP");
  form.Select({0});
  CNfoViewerDlg* viewer = nullptr;
  auto run = RetrieveNfoFile(&form.window, form, form.list, {server.address(), refused.address()}, &viewer);
  ASSERT_TRUE(WaitFinished(run));
  const auto shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].owner, viewer);
  EXPECT_EQ(shown[0].caption, "Kestrel");
  EXPECT_EQ(shown[0].text, "There is no NFO Data\r\n(NFO data only available from 02-05-1998 on)");
  EXPECT_TRUE(viewer->isHidden());
  EXPECT_EQ(form.Statuses().back(), "Idle");
}

TEST_F(NfoViewer, CancelledRetrievalChangesNothingMore) {
  SilentListener silent;
  Form form;
  form.Add("020598", "First-GRP");
  form.Select({0});
  CNfoViewerDlg* viewer = nullptr;
  auto run = RetrieveNfoFile(&form.window, form, form.list, {silent.address(), silent.address()}, &viewer);
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.events.size() >= 2; }, 5000));
  // The form's Cancel, on the UI thread.
  run->Stop();
  form.events.push_back("cancel");
  ASSERT_TRUE(WaitFinished(run));
  // Whatever the worker handed over before it finished is delivered now.
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(form.events.back(), "cancel");
  EXPECT_EQ(form.events.front(), "caption:Cancel");
  EXPECT_TRUE(viewer->isHidden());
  EXPECT_TRUE(boxes.Boxes().empty());
}

// A real box of the worker, up while its run waits: it blocks the hidden viewer only, so the form
// still takes a click. A box without an owner, for contrast, blocks the form.
TEST_F(NfoViewer, FormStaysUsableWhileTheViewersMessageIsUp) {
  InstallQtMessageBox();
  TestDbServer& server = *shared;
  LoopbackAddress refused;
  Form form;
  auto* probe = new QPushButton("probe", &form.window);
  form.window.layout()->addWidget(probe);
  int clicks = 0;
  QObject::connect(probe, &QPushButton::clicked, [&] { ++clicks; });
  form.Add("040598", "No.Such-GRP");
  form.Select({0});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form.window));

  // Runs inside the box's own event loop: click the form, then close the box.
  std::string shown;
  int clicksWhileUp = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    shown = box->text().toStdString();
    const int before = clicks;
    QTest::mouseClick(form.window.windowHandle(), Qt::LeftButton, {}, probe->geometry().center());
    clicksWhileUp = clicks - before;
    box->accept();
  });

  poll.start(10);
  ShowMessageBox(nullptr, "unowned", "Kestrel", MB_OK);
  EXPECT_EQ(shown, "unowned");
  EXPECT_EQ(clicksWhileUp, 0);

  poll.start(10);
  auto run = RetrieveNfoFile(&form.window, form, form.list, {server.address(), refused.address()});
  ASSERT_TRUE(WaitFinished(run));
  EXPECT_EQ(shown, "There is no NFO Data\r\n(NFO data only available from 02-05-1998 on)");
  EXPECT_EQ(clicksWhileUp, 1);
  EXPECT_EQ(form.Statuses().back(), "Idle");
}
