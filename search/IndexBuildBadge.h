#pragma once
// A quiet line at the foot of the results list's viewport that tells how the local index's build
// goes; hidden when there is nothing to tell. It lies over the rows without taking their clicks.
#include <QLabel>

class IndexBuildBadge : public QLabel {
  Q_OBJECT

 public:
  // Lies at the foot of viewport and follows its size.
  explicit IndexBuildBadge(QWidget* viewport);

  void ShowText(const QString& text);
  void Clear();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();
};
