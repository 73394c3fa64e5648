#include "res/Artwork.h"

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

QImage Render(const QString& path, QSize size) {
  InitArtworkResources();
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return QImage();
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  return image;
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
  return QPixmap::fromImage(Render(QStringLiteral(":/kestrel/bitmap-%1.svg").arg(id), size));
}

QIcon LoadIconResource(unsigned id) {
  if (id != IDR_MAINFRAME) return QIcon();
  QIcon icon;
  for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QImage image = Render(QStringLiteral(":/kestrel/icon-%1.svg").arg(id), QSize(side, side));
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}
