#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QToolButton>

#include "controls/HistoryCombo.h"
#include "controls/HistoryStore.h"
#include "platform/FileDialog.h"
#include "res/ResourceIds.h"
#include "res/ToolbarResource.h"
#include "tests/support/SettingsFixture.h"

namespace {

class HistoryComboTest : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    window = std::make_unique<QWidget>();
    window->resize(400, 200);
    combo = new CHistoryCombo(12, false, IDR_HISTORY_TOOLBAR, window.get());
    combo->setGeometry(50, 40, 200, 24);
    combo->SetToolbarPosition(12, false);
  }

  static QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
    return items;
  }
  QStringList Items() const { return Items(*combo); }
  bool Save(CHistoryCombo& box) { return box.SaveHistory("MaskHistory", "Harrow", "Kestrel", false); }
  bool Restore(CHistoryCombo& box) { return box.RestoreHistory("MaskHistory", "Harrow", "Kestrel", true); }
  // A restart as the search form makes it: restore into a new combo, save again on the way out.
  QStringList Restart() {
    CHistoryCombo next(12, false, IDR_HISTORY_TOOLBAR, window.get());
    EXPECT_TRUE(Restore(next));
    EXPECT_EQ(next.currentText(), next.itemText(0));
    EXPECT_TRUE(Save(next));
    return Items(next);
  }
  QAction* Button(unsigned id) const {
    for (QAction* action : combo->Toolbar()->actions()) {
      if (action->data().toUInt() == id) return action;
    }
    return nullptr;
  }
  void TypeByHand(const QString& text) {
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), text);
  }

  std::unique_ptr<QWidget> window;
  CHistoryCombo* combo = nullptr;
};

}  // namespace

TEST_F(HistoryComboTest, AddAndRemoveWithTheirResults) {
  combo->SetHistoryString("ABC|x");
  EXPECT_FALSE(combo->AddToHistory("abc"));
  EXPECT_EQ(Items(), QStringList({"abc", "x"}));
  EXPECT_EQ(combo->currentText(), "abc");
  EXPECT_EQ(combo->lineEdit()->selectedText(), "abc");
  EXPECT_EQ(combo->GetCurSel(), 0);
  combo->setEditText("");
  EXPECT_FALSE(combo->AddToHistory());
  EXPECT_EQ(Items().size(), 2);
  combo->setEditText("typed");
  EXPECT_TRUE(combo->AddToHistory());
  EXPECT_EQ(Items(), QStringList({"typed", "abc", "x"}));

  // Typing by hand selects nothing.
  TypeByHand("zzz");
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_FALSE(combo->RemoveItem(-1));
  EXPECT_EQ(Items().size(), 3);
  EXPECT_FALSE(Button(ID_HISTORY_DELETE)->isEnabled());
  // Enter adds nothing by itself.
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(Items().size(), 3);

  combo->setCurrentIndex(2);  // chosen from the list
  EXPECT_EQ(combo->GetCurSel(), 2);
  EXPECT_TRUE(Button(ID_HISTORY_DELETE)->isEnabled());
  Button(ID_HISTORY_DELETE)->trigger();
  EXPECT_EQ(Items(), QStringList({"typed", "abc"}));
  EXPECT_EQ(combo->currentText(), "abc");  // the previous item, as the last one went
  EXPECT_TRUE(combo->RemoveItem(0));
  EXPECT_TRUE(combo->RemoveItem(-1));
  EXPECT_TRUE(Items().isEmpty());
  EXPECT_EQ(combo->currentText(), "");
  EXPECT_FALSE(combo->RemoveItem(0));
}

TEST_F(HistoryComboTest, MaximumCount) {
  combo->SetMaxHistoryCount(20);
  for (int i = 0; i < 20; ++i) combo->AddToHistory(QString("m%1").arg(i));
  EXPECT_TRUE(combo->AddToHistory("new"));
  EXPECT_EQ(combo->count(), 20);
  EXPECT_EQ(combo->itemText(19), "m1");
  combo->SetMaxHistoryCount(2);
  EXPECT_EQ(Items(), QStringList({"new", "m19"}));
  combo->SetMaxHistoryCount(0);
  combo->AddToHistory("gone");
  EXPECT_EQ(combo->count(), 0);
}

TEST_F(HistoryComboTest, CompletesFromHistoryWithoutRecompletingDeletions) {
  combo->SetHistoryString("Abcdef|abx");
  combo->setEditText("");
  QTest::keyClicks(combo->lineEdit(), "ab");
  EXPECT_EQ(combo->currentText(), "Abcdef");
  EXPECT_EQ(combo->lineEdit()->selectedText(), "cdef");
  EXPECT_EQ(combo->GetCurSel(), 0);
  QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
  EXPECT_EQ(combo->currentText(), "Ab");
  EXPECT_EQ(combo->GetCurSel(), -1);
  QTest::keyClicks(combo->lineEdit(), "x");
  EXPECT_EQ(combo->currentText(), "abx");
  QTest::keyClicks(combo->lineEdit(), "q");
  EXPECT_EQ(combo->currentText(), "abxq");
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_EQ(combo->count(), 2);
}

TEST_F(HistoryComboTest, ToolbarIsASiblingPlacedByPosition) {
  QToolBar* bar = combo->Toolbar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->parentWidget(), window.get());
  EXPECT_EQ(bar->actions().size(), 3);  // the reserved two are hidden by default
  combo->ShowButton(0, false);
  combo->ShowButton(1, true);
  combo->ShowButton(2, false);
  combo->RefreshToolbar();
  ASSERT_EQ(bar->actions().size(), 1);
  EXPECT_FALSE(bar->isHidden());
  // Position 12: one right border inside the combo's right edge, centred on it.
  EXPECT_EQ(bar->x(), 250 - 6);
  EXPECT_EQ(bar->y(), 40 + (24 - bar->height()) / 2);
  combo->SetToolbarPosition(5, true);
  EXPECT_EQ(bar->x(), 50 - 6);
  EXPECT_EQ(bar->y(), 64);
  // Moving the combo later leaves the toolbar where it was.
  combo->move(0, 0);
  EXPECT_EQ(bar->x(), 44);
  combo->SetToolbarPosition(1, false);
  EXPECT_TRUE(bar->isHidden());
  for (int i = 0; i < 10; ++i) combo->ShowButton(i, false);
  combo->RefreshToolbar();
  for (int position = 2; position <= 13; ++position) {
    combo->SetToolbarPosition(position, false);
    EXPECT_TRUE(bar->isHidden()) << position;
  }
}

TEST_F(HistoryComboTest, ButtonStatesTooltipsAndImages) {
  combo->ShowButton(3, true);
  combo->RefreshToolbar();
  combo->setEditText("");
  EXPECT_FALSE(Button(ID_HISTORY_ADD)->isEnabled());
  combo->setEditText("x");
  EXPECT_TRUE(Button(ID_HISTORY_ADD)->isEnabled());
  EXPECT_FALSE(Button(ID_HISTORY_DELETE)->isEnabled());
  EXPECT_TRUE(Button(ID_HISTORY_BROWSE)->isEnabled());
  EXPECT_FALSE(Button(ID_HISTORY_RESERVED1)->isEnabled());
  Button(ID_HISTORY_ADD)->trigger();
  EXPECT_EQ(Items(), QStringList({"x"}));
  EXPECT_TRUE(Button(ID_HISTORY_DELETE)->isEnabled());

  EXPECT_EQ(Button(ID_HISTORY_ADD)->toolTip(), "Add");
  EXPECT_EQ(Button(ID_HISTORY_DELETE)->toolTip(), "Delete (Delete)");
  EXPECT_EQ(Button(ID_HISTORY_RESERVED1)->toolTip(), "Reserved");
  EXPECT_EQ(CHistoryCombo::ToolbarTooltip(0), "");
  EXPECT_EQ(CHistoryCombo::ToolbarTooltip(IDS_SOCKETS_INIT_FAILED), "");  // no newline
  auto* deleteButton =
      qobject_cast<QToolButton*>(combo->Toolbar()->widgetForAction(Button(ID_HISTORY_DELETE)));
  ASSERT_NE(deleteButton, nullptr);
  EXPECT_EQ(deleteButton->accessibleName(), "Delete (Delete)");
  // The artwork: a dark red cross on a see-through background.
  const QImage cross = Button(ID_HISTORY_DELETE)->icon().pixmap(QSize(16, 15)).toImage();
  ASSERT_EQ(cross.size(), QSize(16, 15));
  EXPECT_EQ(cross.pixelColor(8, 8), QColor(0x80, 0, 0));
  EXPECT_EQ(cross.pixelColor(0, 0).alpha(), 0);
}

TEST_F(HistoryComboTest, BrowseFillsTheEditField) {
  FileDialogRequest seen;
  auto previous = SetFileDialogHandler([&](const FileDialogRequest& request) {
    seen = request;
    return std::optional<std::string>("/home/user/release.nfo");
  });
  combo->SetHistoryString("a");
  combo->setCurrentIndex(0);
  Button(ID_HISTORY_BROWSE)->trigger();
  EXPECT_TRUE(seen.open);
  EXPECT_EQ(seen.filter, "All Files (*.*)|*||");
  EXPECT_EQ(seen.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  EXPECT_EQ(combo->currentText(), "/home/user/release.nfo");
  EXPECT_EQ(Items(), QStringList({"a"}));
  EXPECT_EQ(combo->GetCurSel(), -1);
  SetFileDialogHandler([](const FileDialogRequest&) { return std::nullopt; });
  EXPECT_FALSE(combo->BrowseForFile());
  EXPECT_EQ(combo->currentText(), "/home/user/release.nfo");
  SetFileDialogHandler(previous);
}

TEST_F(HistoryComboTest, SavesAndRestoresThroughTheSettingsFile) {
  combo->AddToHistory("d");
  combo->AddToHistory("b|c");
  combo->AddToHistory("a");
  EXPECT_TRUE(combo->SaveHistory("MaskHistory", "Harrow", "Kestrel", false));
  const std::string file = FileText();
  EXPECT_NE(file.find("\\Harrow\\Kestrel\\HistoryCombo]"), std::string::npos) << file;
  EXPECT_NE(file.find("\"MaskHistory\"=\"a|b|c|d\""), std::string::npos) << file;

  CHistoryCombo other(12, false, IDR_HISTORY_TOOLBAR, window.get());
  EXPECT_TRUE(other.RestoreHistory("MaskHistory", "Harrow", "Kestrel", true));
  EXPECT_EQ(Items(other), QStringList({"a", "b|c", "d"}));  // whole, from the copy beside the value
  EXPECT_EQ(other.currentText(), "a");
  EXPECT_EQ(other.GetCurSel(), 0);
  EXPECT_EQ(other.lineEdit()->selectedText(), "a");

  // Saving with the current text adds it first.
  other.setEditText("e");
  EXPECT_TRUE(other.SaveHistory("MaskHistory", "Harrow", "Kestrel", true));
  EXPECT_EQ(other.itemText(0), "e");
  // An empty history deletes the value; restoring it then empties the list.
  CHistoryCombo empty(12, false, IDR_HISTORY_TOOLBAR, window.get());
  EXPECT_TRUE(empty.SaveHistory("MaskHistory", "Harrow", "Kestrel", false));
  EXPECT_EQ(FileText().find("MaskHistory"), std::string::npos);
  EXPECT_TRUE(other.RestoreHistory("MaskHistory", "Harrow", "Kestrel", true));
  EXPECT_EQ(other.count(), 0);
}

TEST_F(HistoryComboTest, MasksHoldingBarsSurviveRestartsWholeAndInOrder) {
  const QStringList masks = {"quake | (doom & rzr)", "say \"hi\"|C:\\dir\\",
                             QString::fromUtf8("Mot\xC3\xB6rhead|\xE2\x9C\x93"), "plain"};
  for (auto it = masks.rbegin(); it != masks.rend(); ++it) combo->AddToHistory(*it);
  ASSERT_TRUE(Save(*combo));
  // The joined value stays as it always was; the whole list lies beside it.
  EXPECT_NE(FileText().find("\"MaskHistory\"=\"quake | (doom & rzr)|say \\\"hi\\\"|C:\\\\dir\\\\|Mot"),
            std::string::npos)
      << FileText();
  EXPECT_NE(FileText().find("\"MaskHistoryItems\"=hex(7):71,75,61,6b,65,20,7c"), std::string::npos);
  EXPECT_EQ(Restart(), masks);
  EXPECT_EQ(Restart(), masks);

  // A text ends at a NUL, as in any C string; the items after it are kept.
  combo->AddToHistory(QString::fromUtf8("n\0ul", 4));
  ASSERT_TRUE(Save(*combo));
  EXPECT_EQ(Restart(), QStringList({"n", "quake | (doom & rzr)"}) + masks.mid(1));
}

TEST_F(HistoryComboTest, TheJoinedValueRulesAnOlderOrHandEditedFile) {
  const std::string key =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n";
  PutFile(key + "\"MaskHistory\"=\"quake | doom||rzr\"\r\n");
  EXPECT_EQ(Restart(), QStringList({"quake ", " doom", "rzr"}));

  combo->AddToHistory("a|b");
  ASSERT_TRUE(Save(*combo));
  std::string text = FileText();
  const std::string joined = "\"MaskHistory\"=\"a|b\"";
  ASSERT_NE(text.find(joined), std::string::npos) << text;
  text.replace(text.find(joined), joined.size(), "\"MaskHistory\"=\"c|a|b\"");
  PutFile(text);
  EXPECT_EQ(Restart(), QStringList({"c", "a", "b"}));
}

TEST_F(HistoryComboTest, PastedOrDroppedLineBreaksDoNotEnterTheOneLineBox) {
  window->show();
  QLineEdit* edit = combo->lineEdit();
  edit->setFocus();
  auto paste = [&](const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  };
  // A line copied with its end: the end is dropped, and the history gets the name alone.
  paste("Golden.Legacy\n");
  EXPECT_EQ(combo->currentText(), "Golden.Legacy");
  EXPECT_TRUE(combo->AddToHistory());
  EXPECT_EQ(Items(), QStringList({"Golden.Legacy"}));

  // Breaks inside, of any kind and however many in a row, keep the words apart by one blank; the
  // cursor stays after what was pasted.
  combo->setEditText("abcd");
  edit->setCursorPosition(2);
  paste(QString::fromUtf8("x\r\n\r\ny\u2028z\x0b\x0c\u0085w\r"));
  EXPECT_EQ(combo->currentText(), "abx y z w cd");
  EXPECT_EQ(edit->cursorPosition(), 10);
  // Enter types no line break either.
  combo->setEditText("");
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClicks(edit, "Lead");
  EXPECT_EQ(combo->currentText(), "Lead");

  // An input method's commit and a drop take the same way in.
  QInputMethodEvent commit;
  commit.setCommitString(" one\ntwo\n");
  QApplication::sendEvent(edit, &commit);
  EXPECT_EQ(combo->currentText(), "Lead one two");
  combo->setEditText("");
  QMimeData data;
  data.setText("\r\nDropped\r\n");
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(edit, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(edit, &drop);
  EXPECT_EQ(combo->currentText(), "Dropped");
  // So does the program.
  combo->setEditText("Set\nBy.Program\n");
  EXPECT_EQ(combo->currentText(), "Set By.Program");
  EXPECT_TRUE(combo->AddToHistory("Given\n"));
  EXPECT_EQ(combo->itemText(0), "Given");
}

TEST_F(HistoryComboTest, AnOlderHistoryWithLineBreaksComesBackAsOneLineItems) {
  ASSERT_TRUE(
      HistoryStore::WriteHistory("Harrow", "Kestrel", "MaskHistory",
                                 {"Golden.Legacy\n", "Other", "golden.legacy", "\r\n", "Two\nLines"}));
  ASSERT_TRUE(Restore(*combo));
  EXPECT_EQ(Items(), QStringList({"Golden.Legacy", "Other", "Two Lines"}));
  EXPECT_EQ(combo->currentText(), "Golden.Legacy");
  combo->SetHistoryString("a\n|b");
  EXPECT_EQ(Items(), QStringList({"a", "b"}));
}

TEST_F(HistoryComboTest, ChoosingTheOldItemAgainAfterTypingSelectsIt) {
  PutFile(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel\\HistoryCombo]\r\n\"MaskHistory\"=\"a|b\"\r\n");
  ASSERT_TRUE(Restore(*combo));
  window->show();
  TypeByHand("z");
  EXPECT_EQ(combo->GetCurSel(), -1);
  // Drop the list down and choose its first item with the keyboard.
  QTest::keyClick(combo->lineEdit(), Qt::Key_F4);
  ASSERT_TRUE(combo->view()->isVisible());
  QTest::keyClick(combo->view(), Qt::Key_Home);
  QTest::keyClick(combo->view(), Qt::Key_Return);
  EXPECT_EQ(combo->currentText(), "a");
  EXPECT_EQ(combo->GetCurSel(), 0);
  EXPECT_TRUE(Button(ID_HISTORY_DELETE)->isEnabled());
  EXPECT_TRUE(combo->RemoveItem(-1));
  EXPECT_EQ(Items(), QStringList({"b"}));

  // Typing at the start keeps the cursor there; Down then steps to the first item, not past the
  // one chosen before.
  combo->AddToHistory("a");
  QTest::keyClick(combo->lineEdit(), Qt::Key_Home);
  QTest::keyClicks(combo->lineEdit(), "zy");
  EXPECT_EQ(combo->currentText(), "zya");
  QTest::keyClick(combo->lineEdit(), Qt::Key_Down);
  EXPECT_EQ(combo->currentText(), "a");
  EXPECT_EQ(combo->GetCurSel(), 0);
}

TEST_F(HistoryComboTest, KeyNamesAndMissingKeys) {
  combo->SetHistoryString("kept");
  EXPECT_FALSE(combo->SaveHistory("", "Harrow", "Kestrel", false));
  EXPECT_FALSE(combo->RestoreHistory("", "Harrow", "Kestrel", false));
  EXPECT_EQ(combo->count(), 1);
  // No key at all: an empty list, and success.
  EXPECT_TRUE(combo->RestoreHistory("MaskHistory", "Nobody", "Nothing", true));
  EXPECT_EQ(combo->count(), 0);
  // Empty names become the application's registry key and profile name.
  combo->AddToHistory("x");
  EXPECT_TRUE(combo->SaveHistory("v", "", "", false));
  const std::string file = FileText();
  EXPECT_NE(file.find("\\Local AppWizard-Generated Applications\\Kestrel\\HistoryCombo]"), std::string::npos)
      << file;
  // A maximum of 0 restores nothing.
  combo->SetMaxHistoryCount(0);
  EXPECT_TRUE(combo->RestoreHistory("v", "", "", true));
  EXPECT_EQ(combo->count(), 0);
}

TEST(HistoryStoreTest, NamesDefaultToTheApplication) {
  std::string company, application;
  EXPECT_FALSE(HistoryStore::ResolveNames("", company, application));
  EXPECT_TRUE(HistoryStore::ResolveNames("MaskHistory", company, application));
  EXPECT_EQ(company, "Local AppWizard-Generated Applications");
  EXPECT_EQ(application, "Kestrel");
}
