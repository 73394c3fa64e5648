#include "bench/SearchChart.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

bool WriteSearchChart(const std::vector<SearchPoint>& points, const std::string& path) {
  if (points.empty()) return false;
  const int width = 720, height = 420, left = 70, right = 20, top = 40, bottom = 60;
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  double maxMs = 0;
  int maxRows = 0;
  for (const SearchPoint& point : points) {
    maxMs = std::max({maxMs, point.kestrelMs, point.clientMs});
    maxRows = std::max(maxRows, point.rows);
  }
  maxMs *= 1.1;
  const QRectF plot(left, top, width - left - right, height - top - bottom);
  auto at = [&](int rows, double ms) {
    return QPointF(plot.left() + plot.width() * rows / maxRows, plot.bottom() - plot.height() * ms / maxMs);
  };

  p.setPen(QColor(220, 220, 220));
  for (int i = 0; i <= 5; ++i) {
    const double ms = maxMs * i / 5;
    const QPointF y = at(0, ms);
    p.drawLine(QPointF(plot.left(), y.y()), QPointF(plot.right(), y.y()));
    p.setPen(Qt::black);
    p.drawText(QRectF(0, y.y() - 8, left - 8, 16), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(ms, 'f', 0));
    p.setPen(QColor(220, 220, 220));
  }
  p.setPen(Qt::black);
  p.drawRect(plot);
  double lastLabel = -1000;
  for (const SearchPoint& point : points) {
    const QPointF x = at(point.rows, 0);
    if (x.x() - lastLabel < 36) continue;  // no labels on top of each other
    lastLabel = x.x();
    p.drawText(QRectF(x.x() - 30, plot.bottom() + 4, 60, 16), Qt::AlignCenter, QString::number(point.rows));
  }
  p.drawText(QRectF(0, height - 30, width, 20), Qt::AlignCenter, "rows retrieved");
  p.save();
  p.translate(14, top + plot.height() / 2);
  p.rotate(-90);
  p.drawText(QRectF(-80, -10, 160, 20), Qt::AlignCenter, "milliseconds");
  p.restore();
  p.drawText(QRectF(0, 8, width, 24), Qt::AlignCenter,
             "Search time, probe to summary, against rows retrieved");

  auto series = [&](const QColor& color, auto value, const QString& name, int legendRow) {
    QPainterPath line;
    for (size_t i = 0; i < points.size(); ++i) {
      const QPointF point = at(points[i].rows, value(points[i]));
      if (i == 0)
        line.moveTo(point);
      else
        line.lineTo(point);
    }
    p.setPen(QPen(color, 2));
    p.drawPath(line);
    for (const SearchPoint& point : points) p.drawEllipse(at(point.rows, value(point)), 3, 3);
    const QPointF legend(plot.right() - 250, plot.bottom() - 44 + 18 * legendRow);
    p.drawLine(legend, legend + QPointF(24, 0));
    p.setPen(Qt::black);
    p.drawText(legend + QPointF(30, 5), name);
  };
  series(
      QColor(200, 90, 30), [](const SearchPoint& s) { return s.kestrelMs; }, "Kestrel", 0);
  series(
      QColor(40, 90, 180), [](const SearchPoint& s) { return s.clientMs; }, "mariadb client, same statements",
      1);
  p.end();
  return image.save(QString::fromStdString(path), "PNG");
}
