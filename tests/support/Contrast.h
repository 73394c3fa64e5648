#pragma once
// Contrast as the accessibility guidelines (WCAG 2) measure it, on what a widget really shows.
#include <QColor>
#include <QImage>
#include <QRect>

// The relative luminance of a colour, 0 (black) to 1 (white).
double RelativeLuminance(const QColor& colour);

// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter: 1 for equal colours, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

// The contrast of the text inside rect (device pixels of image) against what lies behind it:
// the median pixel of the rect is the background, the pixel farthest from it in luminance is the
// text's ink. 1 for an empty rect.
double TextContrast(const QImage& image, const QRect& rect);
