#pragma once
// The font of every dialog template: a sans face sized so that its dialog base units are
// 6 x 13 pixels at 96 dpi, as the original 8-point dialog font's were.
#include <QFont>

#include "res/DialogUnits.h"

// The dialog font (measured once, then cached).
QFont DialogFont();

// Base units of font measured the dialog manager's way: the average advance of A-Z a-z and the
// line height.
DialogBaseUnits MeasureDialogBaseUnits(const QFont& font);
