#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "controls/HistoryCombo.h"
#include "controls/HistoryStore.h"
#include "platform/FileDialog.h"
#include "res/ResourceIds.h"
#include "res/ToolbarResource.h"
#include "tests/controls/GuiTestApp.h"
#include "tests/support/TempDir.h"

namespace {

class HistoryComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiTestApp();
    SetRegistryFilePath(dir.file("Kestrel.reg"));
    window = std::make_unique<QWidget>();
    window->resize(400, 200);
    combo = new CHistoryCombo(12, false, IDR_HISTORY_TOOLBAR, window.get());
    combo->setGeometry(50, 40, 200, 24);
    combo->SetToolbarPosition(12, false);
  }
  void TearDown() override { SetRegistryFilePath(""); }

  QStringList Items() const {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
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

  TempDir dir;
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

  // Typing by hand selects nothing, although the combo keeps its old index meanwhile.
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

TEST_F(HistoryComboTest, SavesAndRestoresThroughTheRegistry) {
  combo->AddToHistory("d");
  combo->AddToHistory("b|c");
  combo->AddToHistory("a");
  EXPECT_TRUE(combo->SaveHistory("MaskHistory", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, false));
  const std::string file = ReadWholeFile(dir.file("Kestrel.reg"));
  EXPECT_NE(file.find("\\Harrow\\Kestrel\\HistoryCombo]"), std::string::npos) << file;
  EXPECT_NE(file.find("\"MaskHistory\"=\"a|b|c|d\""), std::string::npos) << file;

  CHistoryCombo other(12, false, IDR_HISTORY_TOOLBAR, window.get());
  EXPECT_TRUE(other.RestoreHistory("MaskHistory", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, true));
  EXPECT_EQ(other.count(), 4);
  EXPECT_EQ(other.currentText(), "a");
  EXPECT_EQ(other.GetCurSel(), 0);
  EXPECT_EQ(other.lineEdit()->selectedText(), "a");

  // Saving with the current text adds it first.
  other.setEditText("e");
  EXPECT_TRUE(other.SaveHistory("MaskHistory", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, true));
  EXPECT_EQ(other.itemText(0), "e");
  // An empty history deletes the value; restoring it then empties the list.
  CHistoryCombo empty(12, false, IDR_HISTORY_TOOLBAR, window.get());
  EXPECT_TRUE(empty.SaveHistory("MaskHistory", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, false));
  EXPECT_EQ(ReadWholeFile(dir.file("Kestrel.reg")).find("MaskHistory"), std::string::npos);
  EXPECT_TRUE(other.RestoreHistory("MaskHistory", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, true));
  EXPECT_EQ(other.count(), 0);
}

TEST_F(HistoryComboTest, RegistryNamesAndMissingKeys) {
  combo->SetHistoryString("kept");
  EXPECT_FALSE(combo->SaveHistory("", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, false));
  EXPECT_FALSE(combo->RestoreHistory("", "Harrow", "Kestrel", HKEY_LOCAL_MACHINE, false));
  EXPECT_EQ(combo->count(), 1);
  // No key at all: an empty list, and success.
  EXPECT_TRUE(combo->RestoreHistory("MaskHistory", "Nobody", "Nothing", HKEY_LOCAL_MACHINE, true));
  EXPECT_EQ(combo->count(), 0);
  // Empty names become the application's registry key and profile name.
  combo->AddToHistory("x");
  EXPECT_TRUE(combo->SaveHistory("v", "", "", HKEY_LOCAL_MACHINE, false));
  const std::string file = ReadWholeFile(dir.file("Kestrel.reg"));
  EXPECT_NE(file.find("\\Local AppWizard-Generated Applications\\Kestrel\\HistoryCombo]"), std::string::npos)
      << file;
  // A maximum of 0 restores nothing.
  combo->SetMaxHistoryCount(0);
  EXPECT_TRUE(combo->RestoreHistory("v", "", "", HKEY_LOCAL_MACHINE, true));
  EXPECT_EQ(combo->count(), 0);
}

TEST(HistoryStoreTest, NamesDefaultToTheApplication) {
  std::string company, application;
  EXPECT_FALSE(HistoryStore::ResolveNames("", company, application));
  EXPECT_TRUE(HistoryStore::ResolveNames("MaskHistory", company, application));
  EXPECT_EQ(company, "Local AppWizard-Generated Applications");
  EXPECT_EQ(application, "Kestrel");
}
