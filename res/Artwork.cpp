#include "res/Artwork.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

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
QPixmap Render(const QString& path, QSize size) {
  InitArtworkResources();
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return QPixmap();
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  painter.end();
  return QPixmap::fromImage(std::move(image));
}

}  // namespace

QSize BitmapResourceSize(unsigned id) {
  if (id == IDB_SPLASH) return QSize(346, 259);
  if (id == IDB_BACKGROUND) return QSize(498, 361);
  return QSize();
}

QPixmap LoadBitmapResource(unsigned id) {
  const QSize size = BitmapResourceSize(id);
  if (size.isEmpty()) return QPixmap();
  // Rendered once: the frame and the form both paint the background (UI thread only).
  static QHash<unsigned, QPixmap> rendered;
  auto it = rendered.find(id);
  if (it == rendered.end())
    it = rendered.insert(id, Render(QStringLiteral(":/kestrel/bitmap-%1.svg").arg(id), size));
  return *it;
}

QIcon LoadIconResource(unsigned id) {
  if (id != IDR_MAINFRAME) return QIcon();
  InitArtworkResources();
  // The SVG itself: each size is drawn when something first asks for it.
  return QIcon(QStringLiteral(":/kestrel/icon-%1.svg").arg(id));
}
