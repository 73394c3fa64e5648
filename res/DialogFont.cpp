#include "res/DialogFont.h"

#include <QFontMetrics>

namespace {

constexpr DialogBaseUnits kTargetUnits{6, 13};

QFont Candidate(int pixelSize, int stretch) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setStretch(stretch);
  return font;
}

QFont ChooseDialogFont() {
  // No plain pixel size of the face has both a 13-pixel line and a 6-pixel base width (it is wider
  // than the original), so the line height fixes the size and a horizontal stretch the width.
  // Of the stretches that give 6 x 13 the narrowest with some room to spare is taken: labels were
  // measured against a narrow face, and the spare room keeps a hinting change from tipping the
  // base width to 5.
  const int minimumSample = 26 * (2 * kTargetUnits.cx - 1) + 10;
  for (int pixelSize : {11, 12, 10, 13, 9}) {
    if (MeasureDialogBaseUnits(Candidate(pixelSize, QFont::Unstretched)).cy != kTargetUnits.cy) continue;
    int chosen = 0;
    for (int stretch = 100; stretch >= 60; --stretch) {
      QFont font = Candidate(pixelSize, stretch);
      const DialogBaseUnits units = MeasureDialogBaseUnits(font);
      const int sample = QFontMetrics(font).horizontalAdvance(QLatin1String(kBaseUnitSample));
      if (units.cx == kTargetUnits.cx && units.cy == kTargetUnits.cy && sample >= minimumSample)
        chosen = stretch;
    }
    if (chosen) return Candidate(pixelSize, chosen);
  }
  return Candidate(11, QFont::Unstretched);
}

}  // namespace

DialogBaseUnits MeasureDialogBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  return BaseUnitsFromMetrics(metrics.horizontalAdvance(QLatin1String(kBaseUnitSample)), metrics.height());
}

QFont DialogFont() {
  static const QFont font = ChooseDialogFont();
  return font;
}
