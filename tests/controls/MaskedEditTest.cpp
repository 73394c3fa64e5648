#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <random>

#include "controls/MaskedEdit.h"

namespace {

class CountingEdit : public CMaskedEdit {
 public:
  using CMaskedEdit::CMaskedEdit;
  void OnInputRejected() override { ++rejected; }
  bool IsContentValid() override { return valid; }
  int rejected = 0;
  bool valid = true;
};

class MaskedEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    edit = std::make_unique<CountingEdit>("##/##/####");
    edit->SetPromptChar('_');
    QApplication::clipboard()->clear();
  }
  void Fill(const char* text) {
    edit->SetInputText(text, 0, true);
    edit->rejected = 0;
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(edit.get(), static_cast<Qt::Key>(key), mods);
  }
  // A key press carrying the text of its character, as the platform sends it.
  void KeyWithText(int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(edit.get(), &press);
  }
  void ExpectPicture() { EXPECT_EQ(edit->text(), edit->GetDisplayText()); }

  std::unique_ptr<CountingEdit> edit;
};

}  // namespace

TEST_F(MaskedEditTest, TypingADate) {
  EXPECT_EQ(edit->text(), "__/__/____");
  EXPECT_EQ(edit->GetInputText(), "________");
  EXPECT_EQ(edit->cursorPosition(), 0);
  QTest::keyClicks(edit.get(), "12311998");
  EXPECT_EQ(edit->text(), "12/31/1998");
  EXPECT_EQ(edit->cursorPosition(), 10);
  EXPECT_EQ(edit->rejected, 0);
  edit->setCursorPosition(0);
  QTest::keyClicks(edit.get(), "5");
  EXPECT_EQ(edit->text(), "51/23/1199");
  Key(Qt::Key_Insert);
  EXPECT_FALSE(edit->GetInsertMode());
  edit->setCursorPosition(0);
  QTest::keyClicks(edit.get(), "7x");
  EXPECT_EQ(edit->text(), "71/23/1199");
  EXPECT_EQ(edit->rejected, 1);
  EXPECT_EQ(edit->cursorPosition(), 1);
  edit->setCursorPosition(2);
  QTest::keyClicks(edit.get(), "4");
  EXPECT_EQ(edit->rejected, 2);
  EXPECT_EQ(edit->cursorPosition(), 3);
  EXPECT_EQ(edit->text(), "71/23/1199");
}

TEST_F(MaskedEditTest, MoveKeysStopOnInputPositions) {
  Fill("12311998");
  edit->setCursorPosition(3);
  Key(Qt::Key_Left);
  EXPECT_EQ(edit->cursorPosition(), 2);  // just after the '2', before the separator
  Key(Qt::Key_Up);
  EXPECT_EQ(edit->cursorPosition(), 1);
  Key(Qt::Key_Right);
  EXPECT_EQ(edit->cursorPosition(), 3);  // the separator is skipped
  Key(Qt::Key_Down);
  EXPECT_EQ(edit->cursorPosition(), 4);
  Key(Qt::Key_End);
  Key(Qt::Key_Home);
  EXPECT_EQ(edit->cursorPosition(), 0);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(edit->selectedText(), "12");
  EXPECT_EQ(edit->rejected, 0);
}

TEST_F(MaskedEditTest, EachKeyReachesOneHandler) {
  Fill("12311998");
  // Delete carrying "\x7f": one deletion, and the character path never sees the DEL.
  edit->setCursorPosition(0);
  KeyWithText(Qt::Key_Delete, "\x7f");
  EXPECT_EQ(edit->text(), "23/11/998_");
  EXPECT_EQ(edit->rejected, 0);
  EXPECT_EQ(edit->cursorPosition(), 0);
  Key(Qt::Key_Delete, Qt::ShiftModifier);  // deletes, does not cut
  EXPECT_EQ(edit->text(), "31/19/98__");
  EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());

  // Backspace carrying "\b": one deletion.
  Fill("12311998");
  edit->setCursorPosition(2);
  KeyWithText(Qt::Key_Backspace, "\b");
  EXPECT_EQ(edit->text(), "13/11/998_");
  EXPECT_EQ(edit->rejected, 0);
  edit->setCursorPosition(3);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "13/11/998_");
  EXPECT_EQ(edit->rejected, 1);

  // Insert with any modifier only toggles: no paste, no copy.
  Fill("12311998");
  QApplication::clipboard()->setText("5");
  edit->setCursorPosition(0);
  Key(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_FALSE(edit->GetInsertMode());
  edit->setSelection(0, 2);
  Key(Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_TRUE(edit->GetInsertMode());
  EXPECT_EQ(edit->text(), "12/31/1998");
  EXPECT_EQ(QApplication::clipboard()->text(), "5");

  // Ctrl+V pastes once: twice would give "55/12/3119".
  edit->setCursorPosition(0);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "51/23/1199");
  EXPECT_EQ(edit->cursorPosition(), 10);
  // Ctrl+C copies the display text; Ctrl+X cuts it.
  edit->setSelection(0, 3);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "51/");
  EXPECT_EQ(edit->text(), "51/23/1199");
  edit->setSelection(3, 2);
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "23");
  EXPECT_EQ(edit->text(), "51/11/99__");
  EXPECT_EQ(edit->cursorPosition(), 3);
  // Undo and redo would bypass the element list.
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  Key(Qt::Key_Y, Qt::ControlModifier);
  Key(Qt::Key_K, Qt::ControlModifier);
  Key(Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "51/11/99__");
  EXPECT_EQ(edit->rejected, 0);
}

TEST_F(MaskedEditTest, PasteFillsFromTheFirstInput) {
  QApplication::clipboard()->setText("12/31/1998");
  edit->OnPaste();
  EXPECT_EQ(edit->text(), "12/31/1998");
  QApplication::clipboard()->setText("x");
  edit->SetInputText("12", 0, true);
  edit->setCursorPosition(0);
  edit->OnPaste();
  EXPECT_EQ(edit->text(), "12/__/____");
  EXPECT_EQ(edit->cursorPosition(), 3);
  // Selecting everything and typing starts over.
  Fill("12311998");
  edit->selectAll();
  QTest::keyClicks(edit.get(), "7");
  EXPECT_EQ(edit->text(), "7_/__/____");
}

TEST_F(MaskedEditTest, ContextMenuUsesTheSameHandlers) {
  Fill("12311998");
  auto choose = [&](const QString& entry) {
    QTimer::singleShot(0, [entry] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* action : menu->actions()) {
        if (action->text().remove('&') == entry) action->trigger();
      }
      menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1), edit->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(edit.get(), &event);
  };
  edit->setSelection(0, 1);
  choose("Delete");
  EXPECT_EQ(edit->text(), "23/11/998_");
  QApplication::clipboard()->setText("5");
  edit->setCursorPosition(0);
  choose("Paste");
  EXPECT_EQ(edit->text(), "52/31/1998");
  edit->setSelection(0, 2);
  choose("Cut");
  EXPECT_EQ(edit->text(), "31/19/98__");
  EXPECT_EQ(QApplication::clipboard()->text(), "52");
  EXPECT_EQ(edit->rejected, 0);
}

TEST_F(MaskedEditTest, NothingSlipsPastTheElementList) {
  Fill("12311998");
  edit->setText("hello");
  EXPECT_EQ(edit->text(), "12/31/1998");
  edit->insert("99");
  edit->del();
  edit->backspace();
  edit->undo();
  edit->clear();
  EXPECT_EQ(edit->text(), "12/31/1998");
  EXPECT_EQ(edit->GetDisplayText(), "12/31/1998");
  EXPECT_FALSE(edit->acceptDrops());
  // An input method commit is typed character by character; the preedit is not shown.
  edit->setCursorPosition(0);
  QInputMethodEvent ime("4", {});
  ime.setCommitString("5x");
  QApplication::sendEvent(edit.get(), &ime);
  EXPECT_EQ(edit->text(), "51/23/1199");
  EXPECT_EQ(edit->rejected, 1);
  // Middle-click pastes only through the paste handler, if at all.
  QApplication::clipboard()->setText("7", QClipboard::Selection);
  QTest::mouseClick(edit.get(), Qt::MiddleButton, {}, QPoint(2, 5));
  ExpectPicture();
}

TEST_F(MaskedEditTest, RandomSequenceKeepsThePicture) {
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const int keys[] = {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Up,
                      Qt::Key_Down,   Qt::Key_Home,      Qt::Key_End,    Qt::Key_Insert, Qt::Key_V,
                      Qt::Key_X,      Qt::Key_C,         Qt::Key_Z,      Qt::Key_Y,      Qt::Key_A,
                      Qt::Key_K,      Qt::Key_U,         Qt::Key_Return, Qt::Key_Tab,    Qt::Key_Escape};
  const Qt::KeyboardModifiers mods[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                        Qt::ControlModifier | Qt::ShiftModifier, Qt::AltModifier};
  const QString chars = "0123456789abcXYZ _/.-*\x7f\xe9";
  edit->SetMask("(###) A?>-<&\\#:");
  for (int step = 0; step < 3000; ++step) {
    switch (pick(8)) {
      case 0:
      case 1:
        QTest::keyClick(edit.get(), static_cast<Qt::Key>(keys[pick(std::size(keys))]),
                        mods[pick(std::size(mods))]);
        break;
      case 2:
      case 3: {
        const QChar ch = chars[pick(static_cast<int>(chars.size()))];
        const int key = ch.unicode() < 0x7f ? int(ch.toUpper().unicode()) : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit.get(), &press);
        break;
      }
      case 4: {
        QString clip;
        for (int i = pick(6); i > 0; --i) clip += chars[pick(static_cast<int>(chars.size()))];
        QApplication::clipboard()->setText(clip);
        break;
      }
      case 5:
        edit->setSelection(pick(15), pick(15) - 7);
        break;
      case 6: {
        QInputMethodEvent ime;
        ime.setCommitString(QString(chars[pick(static_cast<int>(chars.size()))]) + "1");
        QApplication::sendEvent(edit.get(), &ime);
        break;
      }
      default:
        if (pick(2)) {
          edit->setText("outside");
        } else {
          QTest::mouseDClick(edit.get(), Qt::LeftButton, {}, QPoint(pick(100), 5));
        }
        break;
    }
    ASSERT_EQ(edit->text(), edit->GetDisplayText()) << "step " << step;
    ASSERT_EQ(edit->text().size(), 14) << "step " << step;
  }
}

TEST_F(MaskedEditTest, FocusPutsTheCaretOnAnInput) {
  QWidget window;
  auto* other = new QLineEdit(&window);
  auto* masked = new CountingEdit("(###)", &window);
  masked->move(0, 40);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.activateWindow();
  other->setFocus();
  masked->setFocus(Qt::TabFocusReason);  // a tab selects the whole text first
  EXPECT_EQ(masked->cursorPosition(), 1);
  EXPECT_FALSE(masked->hasSelectedText());
  // Content the control finds invalid keeps the focus.
  masked->valid = false;
  other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(masked->hasFocus());
  EXPECT_EQ(masked->rejected, 1);
  masked->valid = true;
  other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(other->hasFocus());
}

TEST_F(MaskedEditTest, EmptyMaskIsAPlainEdit) {
  CountingEdit plain;
  QTest::keyClicks(&plain, "abc");
  EXPECT_EQ(plain.text(), "abc");
  Key(Qt::Key_Backspace);
  QTest::keyClick(&plain, Qt::Key_Home);
  QTest::keyClick(&plain, Qt::Key_Delete);
  EXPECT_EQ(plain.text(), "bc");
  QTest::keyClick(&plain, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(plain.text(), "abc");
  plain.selectAll();
  QTest::keyClick(&plain, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "abc");
  QTest::keyClick(&plain, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(&plain, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(plain.text(), "abcabc");
  plain.setText("outside");
  EXPECT_EQ(plain.text(), "outside");
  EXPECT_EQ(plain.rejected, 0);
}

TEST_F(MaskedEditTest, SeparatorsFromTheUserLocaleAtConstruction) {
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old ? old : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  CMaskedEdit german("##/##/#### ##:##");
  setenv("LC_ALL", "fi_FI.UTF-8", 1);
  CMaskedEdit finnish("##:##");
  if (old) {
    setenv("LC_ALL", saved.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  EXPECT_EQ(german.text(), "  .  .       :  ");  // de_DE's time format has no separator of its own
  EXPECT_EQ(finnish.text(), "  .  ");
  german.SetMask("#,#.#");
  EXPECT_EQ(german.text(), " . , ");
}
