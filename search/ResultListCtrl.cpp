#include "search/ResultListCtrl.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>

#include "platform/MessageBox.h"
#include "res/MenuBuilder.h"
#include "res/ResourceIds.h"
#include "res/Texts.h"
#include "search/ColumnSorter.h"

CResultListCtrl::CResultListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(2);
  setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Directory")});
  setColumnWidth(0, 50);
  setColumnWidth(1, 350);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(0);
  setUniformRowHeights(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);  // rows added later keep their arrival order
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setAccessibleName(QStringLiteral("Results"));
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(false);
  connect(header(), &QHeaderView::sectionClicked, this, &CResultListCtrl::SortByColumn);

  m_pMenu = BuildMenu(IDR_RESULTS_MENU, this);
  for (QAction* action : m_pMenu->actions()) {
    const unsigned id = CommandOf(action);
    if (id == 0) continue;
    if (id == ID_LOG_SESSION || id == ID_START_MINIMIZED || id == ID_KEEP_LOCAL_INDEX)
      action->setCheckable(true);
    if (id == ID_COPY_SELECTED) BindShortcut(action, QKeySequence(QKeySequence::Copy));
    // The check mark is the owner's to set (SetLogCheck and friends), not the click's.
    connect(action, &QAction::triggered, this, [this, action, id] {
      if (action->isCheckable()) action->setChecked(!action->isChecked());
      emit commandIssued(id);
    });
  }
  // A double-click on a row asks for its NFO, as the pop-up's command does.
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { emit commandIssued(ID_RETRIEVE_NFO); });
}

CResultListCtrl::~CResultListCtrl() = default;

void CResultListCtrl::BindShortcut(QAction* action, const QKeySequence& keys) {
  // The list carries the action too, so the key works while the focus is in it and the menu is shut.
  action->setShortcut(keys);
  action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  action->setShortcutVisibleInContextMenu(true);
  addAction(action);
}

int CResultListCtrl::SetHighlightType(int mode) {
  const int previous = m_nHighlight;
  if (mode >= 0 && mode <= 2) {
    m_nHighlight = mode;
    viewport()->update();
  }
  return previous;
}

void CResultListCtrl::SetLogCheck(bool checked) {
  if (QAction* action = FindMenuAction(m_pMenu, ID_LOG_SESSION)) action->setChecked(checked);
}

void CResultListCtrl::SetStartMinimizedCheck(bool checked) {
  if (QAction* action = FindMenuAction(m_pMenu, ID_START_MINIMIZED)) action->setChecked(checked);
}

void CResultListCtrl::SetLocalIndexCheck(bool checked) {
  if (QAction* action = FindMenuAction(m_pMenu, ID_KEEP_LOCAL_INDEX)) action->setChecked(checked);
}

void CResultListCtrl::CopyAll() {
  if (topLevelItemCount() == 0) {
    ShowMessageBox(static_cast<QWidget*>(this), kTextNothingToCopy, kCaptionKestrel,
                   MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  PlaceOnClipboard(RowsText(false));
}

void CResultListCtrl::CopySelected() {
  const QString text = RowsText(true);
  if (text.isEmpty()) {
    ShowMessageBox(static_cast<QWidget*>(this), kTextNothingSelected, kCaptionKestrel,
                   MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  PlaceOnClipboard(text);
}

QString CResultListCtrl::RowsText(bool selectedOnly) const {
  QString text;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = topLevelItem(i);
    if (selectedOnly && !item->isSelected()) continue;
    text += item->text(0) + QLatin1Char(' ') + item->text(1) + QLatin1String("\r\n");
  }
  return text;
}

void CResultListCtrl::PlaceOnClipboard(const QString& text) {
  QApplication::clipboard()->setText(text);
}

void CResultListCtrl::SortByColumn(int column) {
  if (column < 0 || column >= columnCount()) return;
  // Column 0 has a direction of its own, every other column shares one; the first click on a
  // column sorts ascending.
  bool& flag = column == 0 ? m_bSortColumn0Ascending : m_bSortOtherAscending;
  flag = !flag;
  const bool ascending = flag;
  const int count = topLevelItemCount();
  if (count < 2) return;

  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) texts.push_back(topLevelItem(i)->text(column).toStdString());
  const std::vector<size_t> order = CColumnSorter(column).SortOrder(texts, ascending);

  // Taking the rows out drops their selection; the list keeps it across a sort.
  QTreeWidgetItem* current = currentItem();
  const int savedColumn = currentColumn();
  std::vector<bool> selected(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) selected[static_cast<size_t>(i)] = topLevelItem(i)->isSelected();
  QList<QTreeWidgetItem*> rows = invisibleRootItem()->takeChildren();
  QList<QTreeWidgetItem*> sorted;
  sorted.reserve(count);
  for (size_t index : order) sorted.push_back(rows[static_cast<qsizetype>(index)]);
  insertTopLevelItems(0, sorted);

  QItemSelection selection;
  for (int i = 0; i < count; ++i) {
    if (!selected[order[static_cast<size_t>(i)]]) continue;
    QModelIndex left = model()->index(i, 0);
    QModelIndex right = model()->index(i, columnCount() - 1);
    selection.select(left, right);
  }
  if (current) {
    selectionModel()->setCurrentIndex(indexFromItem(current, savedColumn < 0 ? 0 : savedColumn),
                                      QItemSelectionModel::NoUpdate);
  }
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

QRect CResultListCtrl::HighlightRect(const QTreeWidgetItem* item, int top, int height) const {
  const QHeaderView* head = header();
  const int labelLeft = head->sectionViewportPosition(0);
  const int labelWidth = head->sectionSize(0);
  int boundsRight = labelLeft + labelWidth;
  for (int c = 1; c < columnCount(); ++c)
    boundsRight = std::max(boundsRight, head->sectionViewportPosition(c) + head->sectionSize(c));
  int right = boundsRight;
  if (m_nHighlight == 0) {
    const int offset = 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
    right =
        std::min(labelLeft + labelWidth, labelLeft + fontMetrics().horizontalAdvance(item->text(0)) + offset);
  } else if (m_nHighlight == 2) {
    right = std::max(boundsRight, viewport()->width());
  }
  return QRect(QPoint(labelLeft, top), QPoint(right - 1, top + height - 1));
}

namespace {

// A column's horizontal alignment as its header sets it; left when it sets none.
Qt::Alignment ColumnAlignment(const QAbstractItemModel& model, int column) {
  const QVariant align = model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
  const Qt::Alignment horizontal =
      align.isValid() ? Qt::Alignment(align.toInt()) & Qt::AlignHorizontal_Mask : Qt::Alignment();
  return horizontal ? horizontal : Qt::AlignLeft;
}

}  // namespace

void CResultListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const QTreeWidgetItem* item = itemFromIndex(index.siblingAtColumn(0));
  if (!item) return;
  painter->save();
  const QPalette& pal = palette();
  // The selection keeps the active colours when the list or the window loses the focus.
  const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
  const QColor highlightText = pal.color(QPalette::Active, QPalette::HighlightedText);
  const QColor window = pal.color(QPalette::Active, QPalette::Base);
  const QColor windowText = pal.color(QPalette::Active, QPalette::Text);
  const bool highlighted = item->isSelected();
  const int top = option.rect.top();
  const int height = option.rect.height();
  const QFontMetrics metrics = fontMetrics();
  const int offset = 2 * metrics.horizontalAdvance(QLatin1Char(' '));
  const QHeaderView* head = header();

  const QRect band = HighlightRect(item, top, height);
  painter->fillRect(band, highlighted ? highlight : window);

  const QRect label(head->sectionViewportPosition(0), top, head->sectionSize(0), height);
  painter->setClipRect(label);
  QRect textRect = label.adjusted(offset / 2, 0, -offset, 0);
  painter->setPen(highlighted ? highlightText : windowText);
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    metrics.elidedText(item->text(0), Qt::ElideRight, std::max(0, textRect.width())));

  QColor textColour = highlighted ? highlightText : windowText;
  if (m_nHighlight == 0) textColour = windowText;
  QRect clip(label.left(), top, std::max(band.right() + 1, label.right() + 1) - label.left(), height);
  for (int c = 1; c < columnCount(); ++c)
    clip |= QRect(head->sectionViewportPosition(c), top, head->sectionSize(c), height);
  painter->setClipRect(clip);
  for (int c = 1; c < columnCount(); ++c) {
    const QRect cell(head->sectionViewportPosition(c), top, head->sectionSize(c), height);
    if (m_nHighlight == 0) painter->fillRect(cell, window);
    const QString text = item->text(c);
    if (text.isEmpty()) continue;
    const QRect inner = cell.adjusted(offset, 0, -offset, 0);
    painter->setPen(textColour);
    painter->drawText(inner, int(ColumnAlignment(*model(), c) | Qt::AlignVCenter | Qt::TextSingleLine),
                      metrics.elidedText(text, Qt::ElideRight, std::max(0, inner.width())));
  }

  // A dotted frame round the band, only while the list has the focus.
  const QModelIndex current = currentIndex();
  if (hasFocus() && current.isValid() && current.row() == index.row() && current.parent() == index.parent()) {
    painter->setClipping(false);
    QPen pen(highlighted ? highlightText : windowText, 0, Qt::DotLine);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(band.adjusted(0, 0, -1, -1));
  }
  painter->restore();
}

void CResultListCtrl::RepaintSelectedItems() {
  // The band of a row may run past the last column; repaint whole widths.
  viewport()->update();
}

void CResultListCtrl::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  RepaintSelectedItems();
}

void CResultListCtrl::focusOutEvent(QFocusEvent* event) {
  QTreeWidget::focusOutEvent(event);
  RepaintSelectedItems();
}

void CResultListCtrl::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  QTreeWidget::selectionChanged(selected, deselected);
  if (m_nHighlight == 2) viewport()->update();
}

void CResultListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeWidget::currentChanged(current, previous);
  viewport()->update();
}

void CResultListCtrl::OpenPopupMenu(const QPoint& globalPos) {
  m_pMenu->popup(globalPos);
}

void CResultListCtrl::OpenPopupMenuFromKeyboard() {
  OpenPopupMenu(mapToGlobal(contentsRect().topLeft() + QPoint(5, 5)));
}

void CResultListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard)
    OpenPopupMenuFromKeyboard();
  else
    OpenPopupMenu(event->globalPos());
  event->accept();
}

void CResultListCtrl::keyPressEvent(QKeyEvent* event) {
  // Not every platform turns these keys into a context-menu event; a second opening from one
  // that does only places the menu again.
  const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
  if (menuKey || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
    OpenPopupMenuFromKeyboard();
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}
