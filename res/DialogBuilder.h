#pragma once
// Turns a dialog template into widgets inside a parent: one widget per control, in template
// order (which is the tab order), placed by converting dialog units with the base units of the
// dialog font. Each widget's object name is its control id ("1000"); a control without an id is
// named "static_<index in the template>".
#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

#include "res/DialogTemplates.h"
#include "res/DialogUnits.h"

class QWidget;

class DialogBuilder {
 public:
  // Makes the widget of one control; the builder then applies position, styles and names.
  using Factory = std::function<QWidget*(const DialogControl& control, QWidget* parent)>;

  explicit DialogBuilder(const DialogTemplate& dialogTemplate);
  DialogBuilder(const DialogTemplate& dialogTemplate, const QFont& font);

  // Use factory instead of the standard widget for the control with this id.
  void SetFactory(int id, Factory factory);
  // Accessible name for a control that has no label of its own in the template. Controls that
  // follow a static text get that text as their name without being told.
  void SetAccessibleName(int id, const QString& name);

  // Creates every control in parent and gives parent the dialog font; returns the widgets in
  // template order.
  QList<QWidget*> Build(QWidget* parent) const;

  const DialogTemplate& Template() const { return m_template; }
  const QFont& Font() const { return m_font; }
  DialogBaseUnits BaseUnits() const { return m_units; }
  QRect ControlRect(const DialogControl& control) const;
  QSize DialogSize() const;

  static QString ObjectName(const DialogControl& control, int index);

 private:
  QWidget* CreateWidget(const DialogControl& control, QWidget* parent) const;
  void ApplyStyle(const DialogControl& control, QWidget* widget) const;

  const DialogTemplate& m_template;
  QFont m_font;
  DialogBaseUnits m_units;
  QHash<int, Factory> m_factories;
  QHash<int, QString> m_accessibleNames;
};

// The control with id among the direct children of dialog, or null.
QWidget* GetDlgItem(const QWidget* dialog, int id);

// A caption without its access-key markers ("&Show" -> "Show", "&&" -> "&").
QString StripAccessKeys(const char* caption);
