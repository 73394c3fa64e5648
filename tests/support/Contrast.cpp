#include "tests/support/Contrast.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Ratio(double a, double b) {
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

}  // namespace

double RelativeLuminance(const QColor& colour) {
  const QColor c = colour.toRgb();
  return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  return Ratio(RelativeLuminance(a), RelativeLuminance(b));
}

double TextContrast(const QImage& image, const QRect& rect) {
  const QRect area = rect.intersected(image.rect());
  std::vector<double> luminance;
  luminance.reserve(static_cast<size_t>(area.width()) * area.height());
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      luminance.push_back(RelativeLuminance(image.pixelColor(x, y)));
  if (luminance.empty()) return 1;
  auto middle = luminance.begin() + luminance.size() / 2;
  std::nth_element(luminance.begin(), middle, luminance.end());
  const double background = *middle;
  const auto [darkest, lightest] = std::minmax_element(luminance.begin(), luminance.end());
  return std::max(Ratio(background, *darkest), Ratio(background, *lightest));
}
