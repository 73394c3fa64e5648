#pragma once
// A drop-down combo that keeps a most-recent-first history of its texts, completes typing from
// it, keeps it in the settings file, and carries a small toolbar beside it (add, delete, browse).
#include <QComboBox>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QToolBar>
#include <vector>

#include "controls/HistoryListModel.h"
#include "controls/HistoryModel.h"

class CHistoryCombo : public QComboBox {
  Q_OBJECT

 public:
  CHistoryCombo(int toolbarPosition, bool bOutside, unsigned toolbarResource, QWidget* parent = nullptr);
  ~CHistoryCombo() override;

  virtual void CreateToolbar(QWidget* parent = nullptr);
  virtual bool AddToHistory(const QString& text = QString());
  virtual bool RemoveItem(int index = -1);
  virtual bool BrowseForFile();
  virtual bool CanAddItem();
  virtual bool CanRemoveItem();
  virtual bool CanBrowse();

  void SetToolbarPosition(int position, bool bOutside);
  int GetToolbarPosition() const { return m_nToolbarPosition; }
  void ShowButton(int index, bool bShow);
  void SetToolbarResource(unsigned id) { m_nToolbarResource = id; }
  void RefreshToolbar();

  void SetMaxHistoryCount(unsigned count);
  QString GetHistoryString() const;
  void SetHistoryString(const QString& history);
  // The history in the settings file (controls/HistoryStore).
  bool SaveHistory(const QString& valueName, const QString& company, const QString& application,
                   bool bAddCurrentText);
  bool RestoreHistory(const QString& valueName, const QString& company, const QString& application,
                      bool bSelectFirst);

  // The selected item: one chosen from the list, by AddToHistory or by completion; -1 for none.
  int GetCurSel() const { return m_model.GetCurSel(); }
  QToolBar* Toolbar() const { return m_pToolbar; }
  // The tooltip of a toolbar command: its string's text after the first newline.
  static QString ToolbarTooltip(unsigned id);

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  struct Button {
    unsigned id;
    QPixmap image;
  };

  void LoadToolbar();
  void UpdateToolbarButtons();
  void UpdateButtonStates();
  void OnCommand(unsigned id);
  void OnEditTextEdited(const QString& text);
  void OnIndexChanged(int index);
  void KeepItemsOneLine();
  // Shows the model's list; with no item selected the edit field shows editText.
  void SyncList(const QString& editText);

  CHistoryModel m_model;
  CHistoryListModel* m_pListModel = nullptr;  // the drop-down's view of m_model, owned by the combo
  int m_nToolbarPosition;
  bool m_bOutside;
  QPointer<QToolBar> m_pToolbar;
  bool m_abShowButton[10] = {true, true, true, false, false, true, true, true, true, true};
  unsigned m_nToolbarResource;
  bool m_bAutoComplete = false;
  bool m_bHasShownButtons = false;
  std::vector<Button> m_loaded;
};
