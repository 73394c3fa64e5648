#pragma once
// Dialog-unit arithmetic. A horizontal dialog unit is a quarter of the base width, a vertical
// one an eighth of the base height; the base width is the average width of the 52 Latin letters.

// The letters whose average width gives the horizontal base unit.
inline constexpr const char* kBaseUnitSample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct DialogBaseUnits {
  int cx = 0;  // pixels per 4 horizontal dialog units
  int cy = 0;  // pixels per 8 vertical dialog units
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// a * b / c rounded half away from zero in 64 bits; 0 when c is 0.
int MulDiv(int a, int b, int c);

// The base width from the summed advance of the 52 letters, rounded the way the dialog manager
// rounds it: (total / 26 + 1) / 2.
int BaseWidthFromSampleWidth(int sampleWidth);

// Base units from the measured sample width and the font's line height.
DialogBaseUnits BaseUnitsFromMetrics(int sampleWidth, int fontHeight);

int DialogUnitsToPixelsX(int dlu, DialogBaseUnits base);
int DialogUnitsToPixelsY(int dlu, DialogBaseUnits base);
// Each of x, y, width and height converted on its own, as controls of a template are created.
PixelRect DialogRectToPixels(int x, int y, int width, int height, DialogBaseUnits base);
