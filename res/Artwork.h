#pragma once
// Icon 128 and bitmaps 143 and 144, rendered from the SVG sources in res/art.
#include <QIcon>
#include <QPixmap>
#include <QSize>

// The size of bitmap id (143: 346 x 259, 144: 498 x 361); empty for an unknown id.
QSize BitmapResourceSize(unsigned id);

// Bitmap id rendered at its own size; a null pixmap for an unknown id.
QPixmap LoadBitmapResource(unsigned id);

// Icon id with images from 16 to 256 pixels; a null icon for an unknown id.
QIcon LoadIconResource(unsigned id);
