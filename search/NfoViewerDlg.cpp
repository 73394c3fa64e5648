#include "search/NfoViewerDlg.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <utility>

#include "platform/MessageBox.h"
#include "platform/ServerText.h"
#include "platform/WindowSystem.h"
#include "res/DialogBuilder.h"
#include "res/ResourceIds.h"
#include "search/NfoText.h"
#include "search/NfoTextView.h"

CNfoViewerDlg::CNfoViewerDlg(QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_pOwner(owner) {
  // Caption bar and sizing border, but neither system menu nor close box.
  const DialogTemplate* dialogTemplate = LoadDialogTemplate(IDD_NFO_VIEWER);
  DialogBuilder builder(*dialogTemplate);
  builder.SetAccessibleName(IDC_NFO_TEXT, QStringLiteral("NFO text"));
  builder.Build(this);
  setWindowTitle(QString::fromUtf8(dialogTemplate->caption));
  resize(builder.DialogSize());
  // Centred on the screen once, where the window is made; after that it stays where it is put.
  if (QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
  if (owner) connect(owner, &QObject::destroyed, this, [this] { delete this; });
  // It hides and comes back with its owner all the same.
  SetWindowOwner(this, owner);
  OnInitDialog();
}

CNfoViewerDlg::~CNfoViewerDlg() = default;

QFont CNfoViewerDlg::TerminalFont() {
  // At 12 pixels, fully hinted, the face lays lines 14 pixels apart on whole pixels and its block
  // glyphs fill the cell exactly: rows of block art join without a seam (at 13 pixels they do not).
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(12);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setKerning(false);
  // Set explicitly, or the dialog font's narrowing would be inherited.
  font.setStretch(QFont::Unstretched);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

bool CNfoViewerDlg::OnInitDialog() {
  m_pOk = qobject_cast<QPushButton*>(GetDlgItem(this, IDOK_CONTROL));
  // The template's edit gives way to a view that lays out only what is in sight: an edit lays out
  // a whole line at once, which for a 16 MiB line takes seconds and most of a gigabyte.
  QWidget* edit = GetDlgItem(this, IDC_NFO_TEXT);
  m_pText = new CNfoTextView(this);
  m_pText->setObjectName(edit->objectName());
  m_pText->setAccessibleName(edit->accessibleName());
  m_pText->setGeometry(edit->geometry());
  m_pText->setFrameStyle(qobject_cast<QFrame*>(edit)->frameStyle());
  delete edit;
  m_pText->show();
  connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
  m_pText->setFont(TerminalFont());

  m_nWindowWidth = width();
  m_nWindowHeight = height();
  m_nBottomGap = m_nWindowHeight - (m_pOk->y() + m_pOk->height());
  m_bInitialised = true;
  return true;
}

void CNfoViewerDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!m_bInitialised) return;
  const int w = event->size().width();
  const int h = event->size().height();
  m_pOk->move((w - m_pOk->width()) / 2, h - m_nBottomGap - m_pOk->height());
  m_pOk->update();
  m_pText->resize(m_pText->width() + w - m_nWindowWidth, m_pText->height() + h - m_nWindowHeight);
  m_pText->update();
  m_nWindowWidth = w;
  m_nWindowHeight = h;
}

void CNfoViewerDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Caption bar and sizing border without a button or window menu: moved and sized, closed by
  // its OK and Esc alone.
  SetWindowDecorations(this, kDecorBorder | kDecorSizingBorder | kDecorTitle, kFuncMove | kFuncResize);
}

void CNfoViewerDlg::SetNfoText(const std::string& bytes) {
  m_pText->SetText(PrepareNfoText(bytes));
}

int CNfoViewerDlg::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  return ShowMessageBox(this, text, caption, flags);
}

void CNfoViewerDlg::ShowNfo(const std::string& caption, NfoText&& text) {
  // A window title is plain text; the directory's bytes are shown as the list shows them.
  setWindowTitle(QString::fromStdString(ShownServerText(caption)));
  show();
  repaint();
  m_pText->SetText(std::move(text));
  repaint();
}

void CNfoViewerDlg::done(int result) {
  m_pText->Clear();
  QDialog::done(result);
}
