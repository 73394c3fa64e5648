#include "res/Artwork.h"

#include <QCheckBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QToolBar>
#include <QtMath>

#include "res/ResourceIds.h"

// The resources live in a static library: register them before the first use.
static void InitArtworkResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(kestrel);
    return true;
  }();
  (void)done;
}

namespace {

// The bitmaps are opaque: drawn into an image of the format a pixmap keeps as it is, so making
// the pixmap converts nothing (a conversion of a large image goes through Qt's thread pool,
// which a thread checker cannot follow).
QPixmap Render(const QString& path, QSize size, qreal ratio) {
  InitArtworkResources();
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return QPixmap();
  QImage image(QSize(qCeil(size.width() * ratio), qCeil(size.height() * ratio)), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, size.width() * ratio, size.height() * ratio));
  painter.end();
  image.setDevicePixelRatio(ratio);
  return QPixmap::fromImage(std::move(image));
}

// Taken from the bitmaps' own colours: the pale wash behind the form's texts and a slate ink
// that reads on every part of it (at least 12:1).
constexpr QRgb kArtworkFace = 0xffece9e4;
constexpr QRgb kArtworkInk = 0xff1c2633;
constexpr QRgb kArtworkDisabledInk = 0xff5f646b;

}  // namespace

QSize BitmapResourceSize(unsigned id) {
  if (id == IDB_SPLASH) return QSize(346, 259);
  if (id == IDB_BACKGROUND) return QSize(498, 361);
  return QSize();
}

QPixmap LoadBitmapResource(unsigned id, qreal devicePixelRatio) {
  const QSize size = BitmapResourceSize(id);
  if (size.isEmpty() || devicePixelRatio <= 0) return QPixmap();
  // Rendered once per ratio: the frame and the form both paint the background (UI thread only).
  static QHash<QPair<unsigned, qreal>, QPixmap> rendered;
  const QPair<unsigned, qreal> key(id, devicePixelRatio);
  auto it = rendered.find(key);
  if (it == rendered.end())
    it = rendered.insert(key,
                         Render(QStringLiteral(":/kestrel/bitmap-%1.svg").arg(id), size, devicePixelRatio));
  return *it;
}

QIcon LoadIconResource(unsigned id) {
  if (id != IDR_MAINFRAME) return QIcon();
  InitArtworkResources();
  // The SVG itself: each size is drawn when something first asks for it, at the screen's ratio.
  return QIcon(QStringLiteral(":/kestrel/icon-%1.svg").arg(id));
}

QPalette ArtworkPalette() {
  QPalette palette{QColor(kArtworkFace)};
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(role, QColor(kArtworkInk));
    palette.setColor(QPalette::Disabled, role, QColor(kArtworkDisabledInk));
  }
  return palette;
}

void UseArtworkPalette(QWidget* form) {
  const QPalette palette = ArtworkPalette();
  for (QWidget* child : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (qobject_cast<QLabel*>(child) || qobject_cast<QCheckBox*>(child) ||
        qobject_cast<QRadioButton*>(child) || qobject_cast<QToolBar*>(child))
      child->setPalette(palette);
  }
}
