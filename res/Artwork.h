#pragma once
// Icon 128 and bitmaps 143 and 144, rendered from the SVG sources in res/art, and the palette of
// the controls drawn straight on those bitmaps.
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSize>

class QWidget;

// The size of bitmap id (143: 346 x 259, 144: 498 x 361); empty for an unknown id.
QSize BitmapResourceSize(unsigned id);

// Bitmap id for a screen of the given device pixel ratio: its size times the ratio in pixels,
// with that ratio set, so it shows at its own size and sharp. A null pixmap for an unknown id.
QPixmap LoadBitmapResource(unsigned id, qreal devicePixelRatio = 1);

// Icon id with images from 16 to 256 pixels; a null icon for an unknown id.
QIcon LoadIconResource(unsigned id);

// The bitmaps are light whatever the desktop's colour scheme: texts and check marks drawn on them
// take this palette's dark ink rather than the desktop's, which may be light grey.
QPalette ArtworkPalette();

// Gives ArtworkPalette() to the children of form that draw on its bitmap rather than on a
// background of their own: static texts, check boxes, radio buttons, toolbars.
void UseArtworkPalette(QWidget* form);
