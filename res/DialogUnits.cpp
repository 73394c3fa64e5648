#include "res/DialogUnits.h"

#include <cstdint>

int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t half = (c < 0 ? -static_cast<int64_t>(c) : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = (product < 0 ? -product : product) + half;
  const int64_t quotient = magnitude / (c < 0 ? -static_cast<int64_t>(c) : c);
  return static_cast<int>(negative ? -quotient : quotient);
}

int BaseWidthFromSampleWidth(int sampleWidth) {
  return (sampleWidth / 26 + 1) / 2;
}

DialogBaseUnits BaseUnitsFromMetrics(int sampleWidth, int fontHeight) {
  return {BaseWidthFromSampleWidth(sampleWidth), fontHeight};
}

int DialogUnitsToPixelsX(int dlu, DialogBaseUnits base) {
  return MulDiv(dlu, base.cx, 4);
}
int DialogUnitsToPixelsY(int dlu, DialogBaseUnits base) {
  return MulDiv(dlu, base.cy, 8);
}

PixelRect DialogRectToPixels(int x, int y, int width, int height, DialogBaseUnits base) {
  return {DialogUnitsToPixelsX(x, base), DialogUnitsToPixelsY(y, base), DialogUnitsToPixelsX(width, base),
          DialogUnitsToPixelsY(height, base)};
}
