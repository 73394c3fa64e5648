#pragma once
// The results list of the search form: a two-column report list (date, directory), one top-level
// item per row and no data of its own. It draws its own selection band, sorts on a header click,
// copies rows to the clipboard and owns the pop-up menu 105 of the form's secondary commands.
// Ctrl+C is "&Copy Selected" and a double-click on a row "Retrieve &Nfo File".
#include <QTreeWidget>

class QAction;
class QKeySequence;
class QMenu;

class CResultListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CResultListCtrl(QWidget* parent = nullptr);
  ~CResultListCtrl() override;

  // 0 = the column-0 label only, 1 = all columns, 2 = the whole row to the right edge.
  // A larger mode is ignored. Returns the mode held before the call.
  int SetHighlightType(int mode);
  int GetHighlightType() const { return m_nHighlight; }

  // "date directory\r\n" per row, in display order: every row / the selected rows.
  void CopyAll();
  void CopySelected();

  // Check marks of "&Log Session", "Start &Minimized" and "Keep Local &Index" in the pop-up menu.
  void SetLogCheck(bool checked);
  void SetStartMinimizedCheck(bool checked);
  void SetLocalIndexCheck(bool checked);

  void RepaintSelectedItems();
  // What a click on the header of column does.
  void SortByColumn(int column);

  QMenu* PopupMenu() const { return m_pMenu; }
  // Opens the pop-up at globalPos; from the keyboard, 5 pixels into the list's top-left corner.
  void OpenPopupMenu(const QPoint& globalPos);
  void OpenPopupMenuFromKeyboard();

 signals:
  // A command of the pop-up menu, for the list's owner (the form) to carry out; the ids are the
  // ID_* commands of res/ResourceIds.h, the two copy commands included.
  void commandIssued(unsigned id);

 protected:
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  void BindShortcut(QAction* action, const QKeySequence& keys);
  void PlaceOnClipboard(const QString& text);
  // "date directory\r\n" per row in display order, of the selected rows only if asked; empty
  // when there is no such row.
  QString RowsText(bool selectedOnly) const;
  QRect HighlightRect(const QTreeWidgetItem* item, int top, int height) const;

  QMenu* m_pMenu = nullptr;
  int m_nHighlight = 0;
  // Whether the last sort of column 0, and of the other columns, was ascending.
  bool m_bSortColumn0Ascending = false;
  bool m_bSortOtherAscending = false;
};
