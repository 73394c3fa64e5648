#include "res/DialogBuilder.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "res/DialogFont.h"

DialogBuilder::DialogBuilder(const DialogTemplate& dialogTemplate)
    : DialogBuilder(dialogTemplate, DialogFont()) {}

DialogBuilder::DialogBuilder(const DialogTemplate& dialogTemplate, const QFont& font)
    : m_template(dialogTemplate), m_font(font), m_units(MeasureDialogBaseUnits(font)) {}

void DialogBuilder::SetFactory(int id, Factory factory) {
  m_factories.insert(id, std::move(factory));
}

void DialogBuilder::SetAccessibleName(int id, const QString& name) {
  m_accessibleNames.insert(id, name);
}

QRect DialogBuilder::ControlRect(const DialogControl& c) const {
  const PixelRect r = DialogRectToPixels(c.x, c.y, c.width, c.height, m_units);
  return QRect(r.x, r.y, r.width, r.height);
}

QSize DialogBuilder::DialogSize() const {
  return QSize(DialogUnitsToPixelsX(m_template.width, m_units),
               DialogUnitsToPixelsY(m_template.height, m_units));
}

QString DialogBuilder::ObjectName(const DialogControl& control, int index) {
  if (control.id == IDC_STATIC) return QStringLiteral("static_%1").arg(index);
  return QString::number(control.id);
}

QWidget* DialogBuilder::CreateWidget(const DialogControl& c, QWidget* parent) const {
  if (auto it = m_factories.find(c.id); it != m_factories.end() && *it) {
    if (QWidget* custom = (*it)(c, parent)) {
      if (custom->parentWidget() != parent) custom->setParent(parent);
      return custom;
    }
  }
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case ControlKind::StaticText:
      return new QLabel(caption, parent);
    case ControlKind::GroupBox:
      return new QGroupBox(caption, parent);
    case ControlKind::PushButton:
      return new QPushButton(caption, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case ControlKind::Edit:
      if (c.style & ES_MULTILINE) return new QPlainTextEdit(parent);
      return new QLineEdit(parent);
    case ControlKind::ComboBox:
      return new QComboBox(parent);
    case ControlKind::ListBox:
      return new QListWidget(parent);
    case ControlKind::ListView:
      return new QTreeWidget(parent);
    case ControlKind::Picture:
      return new QLabel(parent);
  }
  return new QWidget(parent);
}

void DialogBuilder::ApplyStyle(const DialogControl& c, QWidget* widget) const {
  // Styles go by what the widget is, so a caller's own class gets them too.
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    Qt::Alignment align = Qt::AlignLeft;
    if (c.style & ES_CENTER) align = Qt::AlignHCenter;
    if (c.style & ES_RIGHT) align = Qt::AlignRight;
    edit->setAlignment(align | Qt::AlignVCenter);
    edit->setReadOnly(c.style & ES_READONLY);
    edit->setFrame(c.style & WS_BORDER);
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
    text->setReadOnly(c.style & ES_READONLY);
    if (c.style & (ES_AUTOHSCROLL | WS_HSCROLL)) text->setLineWrapMode(QPlainTextEdit::NoWrap);
    if (c.style & ES_READONLY)
      text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    combo->setEditable(c.style & CBS_DROPDOWN);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setDefault((c.style & 0xF) == BS_DEFPUSHBUTTON);
  } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setAllColumnsShowFocus(true);
    tree->setItemsExpandable(false);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->header()->setVisible(c.style & LVS_REPORT);
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    list->setSortingEnabled(c.style & LBS_SORT);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
  }
  if (auto* view = qobject_cast<QAbstractScrollArea*>(widget)) {
    if (!(c.style & WS_BORDER)) view->setFrameShape(QFrame::NoFrame);
  }
  // A control without a tab stop still takes focus by a click, as on the original.
  const bool takesFocus = widget->focusPolicy() != Qt::NoFocus;
  if (takesFocus && !(c.style & WS_TABSTOP)) widget->setFocusPolicy(Qt::ClickFocus);
}

QList<QWidget*> DialogBuilder::Build(QWidget* parent) const {
  parent->setFont(m_font);
  QList<QWidget*> widgets;
  QLabel* pendingLabel = nullptr;
  QString pendingText;
  for (int i = 0; i < static_cast<int>(m_template.controls.size()); ++i) {
    const DialogControl& c = m_template.controls[i];
    QWidget* widget = CreateWidget(c, parent);
    widget->setObjectName(ObjectName(c, i));
    ApplyStyle(c, widget);

    QRect rect = ControlRect(c);
    if (c.kind == ControlKind::ComboBox) {
      // The template's height is the dropped-down extent; the closed box is as tall as it needs.
      rect.setHeight(qMin(rect.height(), widget->sizeHint().height()));
    }
    widget->setGeometry(rect);

    // A static text labels the control that follows it, as a screen reader expects.
    if (auto it = m_accessibleNames.find(c.id); it != m_accessibleNames.end()) {
      widget->setAccessibleName(*it);
    } else if (pendingLabel && c.caption[0] == '\0') {
      widget->setAccessibleName(pendingText);
      pendingLabel->setBuddy(widget);
    }
    pendingLabel = nullptr;
    if (c.kind == ControlKind::StaticText) {
      pendingLabel = qobject_cast<QLabel*>(widget);
      pendingText = StripAccessKeys(c.caption);
    }

    if (!widgets.isEmpty() && widget->focusPolicy() & Qt::TabFocus) {
      for (int k = widgets.size() - 1; k >= 0; --k) {
        if (widgets[k]->focusPolicy() & Qt::TabFocus) {
          QWidget::setTabOrder(widgets[k], widget);
          break;
        }
      }
    }
    widget->show();
    widgets.append(widget);
  }
  return widgets;
}

QWidget* GetDlgItem(const QWidget* dialog, int id) {
  if (!dialog || id == IDC_STATIC) return nullptr;
  return dialog->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QString StripAccessKeys(const char* caption) {
  const QString text = QString::fromUtf8(caption);
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) out += QLatin1Char('&'), ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}
