// Build tool: renders the program's SVG icon as a square PNG, so the installed bitmaps always
// match the artwork. Usage: kestrel_render_icon <in.svg> <size> <out.png>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <in.svg> <size> <out.png>\n", argv[0]);
    return 2;
  }
  // No application object: shapes and gradients paint on a QImage without one, and builds have no
  // display. The artwork holds no text, which would need fonts and so an application.
  const int size = QByteArray(argv[2]).toInt();
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid() || size <= 0) {
    std::fprintf(stderr, "cannot render %s at %s pixels\n", argv[1], argv[2]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
  }
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
