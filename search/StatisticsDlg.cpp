#include "search/StatisticsDlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <algorithm>
#include <vector>

#include "app/Settings.h"
#include "platform/ServerText.h"
#include "platform/UiThread.h"
#include "platform/WindowSystem.h"
#include "platform/WorkerRun.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "search/StatisticsCheck.h"

namespace {

// The static texts with an id are the six value fields. A screen reader reads each as its text:
// the static text on its row becomes its label (buddy), and the group box around it tells which
// server it belongs to. widgets are the template's controls, in template order.
void LabelValueFields(const DialogTemplate& dialog, const QList<QWidget*>& widgets) {
  const std::vector<DialogControl>& controls = dialog.controls;
  const int count = static_cast<int>(std::min<size_t>(controls.size(), widgets.size()));
  for (int field = 0; field < count; ++field) {
    const DialogControl& f = controls[field];
    if (f.kind != ControlKind::StaticText || f.id == IDC_STATIC) continue;
    for (int i = 0; i < count; ++i) {
      const DialogControl& c = controls[i];
      if (c.id != IDC_STATIC) continue;
      if (c.kind == ControlKind::StaticText && c.y == f.y && c.x < f.x) {
        static_cast<QLabel*>(widgets[i])->setBuddy(widgets[field]);
      } else if (c.kind == ControlKind::GroupBox && c.x <= f.x && c.y <= f.y &&
                 f.x + f.width <= c.x + c.width && f.y + f.height <= c.y + c.height) {
        widgets[field]->setAccessibleDescription(QString::fromUtf8(c.caption));
      }
    }
  }
}

}  // namespace

CStatisticsDlg::CStatisticsDlg(const DupesEndpoints& endpoints, QWidget* owner)
    // A pop-up with a modal frame but no caption bar and no system menu. The frame is drawn by
    // the window itself: asked for no caption, a Wayland client's decoration would still draw
    // one with all its buttons.
    : QDialog(owner ? owner->window() : nullptr, Qt::Dialog | Qt::FramelessWindowHint),
      m_endpoints(endpoints) {
  setModal(false);
  // The owner's window deletes it at the latest; without one, hiding it is its end.
  if (!parentWidget()) setAttribute(Qt::WA_DeleteOnClose);
  setAccessibleName(QStringLiteral("Database Statistics"));

  DialogBuilder builder(*LoadDialogTemplate(IDD_STATISTICS));
  builder.SetAccessibleName(IDC_STATS_STATUS, QStringLiteral("Status"));
  const QList<QWidget*> widgets = builder.Build(this);
  LabelValueFields(builder.Template(), widgets);
  // The template places the controls in the client area, inside the frame.
  for (QWidget* widget : widgets) widget->move(widget->pos() + QPoint(kFrameWidth, kFrameWidth));
  setFixedSize(builder.DialogSize() + QSize(2 * kFrameWidth, 2 * kFrameWidth));

  m_pOk = qobject_cast<QPushButton*>(GetDlgItem(this, IDOK_CONTROL));
  m_pStatus = qobject_cast<QLineEdit*>(GetDlgItem(this, IDC_STATS_STATUS));
  connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
}

CStatisticsDlg::~CStatisticsDlg() {
  // The check ends on its own; nothing here waits for it.
  if (m_pRun) m_pRun->Stop();
}

CStatisticsDlg* CStatisticsDlg::Open(const DupesEndpoints& endpoints, QWidget* owner) {
  auto* dlg = new CStatisticsDlg(endpoints, owner);
  dlg->Centre();
  dlg->show();
  // Once shown, the frame's size is known where the platform tells it.
  dlg->Centre();
  dlg->m_pOk->setEnabled(false);
  dlg->m_nTimer = dlg->startTimer(kCheckDelay, Qt::PreciseTimer);
  return dlg;
}

void CStatisticsDlg::reject() {
  // OK is enabled exactly when the check is done. Asked before, the window goes only then, as a
  // key that waited for the busy window would: the check is not cut short.
  if (m_pOk->isEnabled())
    QDialog::reject();
  else
    m_bRejectWhenDone = true;
}

void CStatisticsDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // No caption bar and no buttons; the window manager may still move it.
  SetWindowDecorations(this, 0, kFuncMove);
}

void CStatisticsDlg::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  // A raised dialog frame. Its outer line is mostly the palette's ink over the window colour, so
  // it stands out under a light palette and a dark one alike, and from the window behind.
  const QPalette& colours = palette();
  const QColor ink = colours.color(QPalette::WindowText);
  const QColor face = colours.color(QPalette::Window);
  const QColor edge =
      QColor::fromRgbF(0.6f * ink.redF() + 0.4f * face.redF(), 0.6f * ink.greenF() + 0.4f * face.greenF(),
                       0.6f * ink.blueF() + 0.4f * face.blueF());
  // Drawn in device pixels, whole ones, so every side shows at any scale factor.
  const qreal ratio = devicePixelRatioF();
  const int line = qMax(1, qRound(ratio));
  const QRect device(QPoint(0, 0), size() * ratio);
  QPainter painter(this);
  painter.scale(1 / ratio, 1 / ratio);
  const auto ring = [&](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.fillRect(r.x(), r.y(), r.width(), line, topLeft);
    painter.fillRect(r.x(), r.y(), line, r.height(), topLeft);
    painter.fillRect(r.x(), r.bottom() + 1 - line, r.width(), line, bottomRight);
    painter.fillRect(r.right() + 1 - line, r.y(), line, r.height(), bottomRight);
  };
  ring(device, edge, edge);
  ring(device.adjusted(line, line, -line, -line), colours.color(QPalette::Light),
       colours.color(QPalette::Dark));
}

void CStatisticsDlg::Centre() {
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize outer = frameGeometry().size();
  move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

void CStatisticsDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_nTimer) return QDialog::timerEvent(event);
  // The check runs once.
  killTimer(m_nTimer);
  m_nTimer = 0;
  StartCheck();
}

void CStatisticsDlg::StartCheck() {
  StatisticsCheckContext context;
  context.endpoints = m_endpoints;
  // The settings store belongs to the UI thread: the login is read here, not by the check.
  context.loginId = context.password = ReadGuestLogin();
  // Each report waits until it is shown, so the window shows every step, in order, before the
  // check makes its next blocking call.
  context.link = std::make_shared<QtUiLink>(this);
  context.window = this;
  m_pRun = StartStatisticsCheck(std::move(context));
}

void CStatisticsDlg::SetStatus(const std::string& text) {
  m_pStatus->setText(QString::fromStdString(text));
  m_pStatus->setCursorPosition(0);
}

void CStatisticsDlg::SetField(int controlId, const std::string& text) {
  auto* label = qobject_cast<QLabel*>(GetDlgItem(this, controlId));
  if (!label) return;
  // The last update is the server's own text.
  label->setText(QString::fromStdString(ShownServerText(text)));
}

void CStatisticsDlg::CheckDone() {
  m_pOk->setEnabled(true);
  if (m_bRejectWhenDone) reject();
}
