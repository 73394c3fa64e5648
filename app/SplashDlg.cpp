#include "app/SplashDlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include "res/Artwork.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "res/Strings.h"

CSplashDlg::CSplashDlg(QWidget* parent, int timerPeriod)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_nTimerPeriod(timerPeriod) {
  setModal(true);
  setAccessibleName(QString::fromStdString(LoadResString(AFX_IDS_APP_TITLE)));
  const DialogTemplate* splash = LoadDialogTemplate(IDD_SPLASH);
  DialogBuilder builder(*splash);
  builder.SetAccessibleName(IDC_SPLASH_PICTURE, accessibleName());
  builder.Build(this);
  resize(builder.DialogSize());
  m_pPicture = qobject_cast<QLabel*>(GetDlgItem(this, IDC_SPLASH_PICTURE));
}

bool CSplashDlg::OnInitDialog() {
  const QSize size = BitmapResourceSize(IDB_SPLASH);
  ShowPicture();
  if (m_pPicture) m_pPicture->setGeometry(QRect(QPoint(0, 0), size));
  // Another screen may have another pixel density.
  if (QWindow* window = windowHandle())
    connect(window, &QWindow::screenChanged, this, &CSplashDlg::ShowPicture);
  // The window takes the bitmap's size, keeping its top-left corner, then moves to the centre.
  setFixedSize(size);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
  // A coarse timer may fire up to 5% early; the splash keeps its full time.
  m_nTimer = startTimer(m_nTimerPeriod, Qt::PreciseTimer);
  return true;
}

void CSplashDlg::ShowPicture() {
  if (m_pPicture) m_pPicture->setPixmap(LoadBitmapResource(IDB_SPLASH, devicePixelRatioF()));
}

void CSplashDlg::showEvent(QShowEvent* event) {
  if (!m_bInitialised) {
    m_bInitialised = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

void CSplashDlg::timerEvent(QTimerEvent*) {
  if (m_nTimer) killTimer(m_nTimer);
  m_nTimer = 0;
  done(0);
}

void CSplashDlg::mousePressEvent(QMouseEvent* event) {
  QDialog::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) done(0);
}
