#pragma once
// The splash screen shown while Kestrel starts: a borderless, centred picture of bitmap 143 that
// closes itself after four seconds or on a click. Run it modally with exec().
#include <QDialog>

class QLabel;

class CSplashDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTimerPeriod = 4000;  // milliseconds

  explicit CSplashDlg(QWidget* parent = nullptr, int timerPeriod = kTimerPeriod);

  QLabel* Picture() const { return m_pPicture; }

 protected:
  bool OnInitDialog();
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The bitmap at the pixel density of the splash's screen.
  void ShowPicture();

  int m_nTimerPeriod;
  int m_nTimer = 0;
  bool m_bInitialised = false;
  QLabel* m_pPicture = nullptr;
};
