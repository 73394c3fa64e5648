#include "controls/ToolbarPlacement.h"

bool ToolbarPlacement::Origin(int position, bool bOutside, const Rect& r, int cx, int cy, int& x, int& y) {
  const int k = bOutside ? 0 : 1;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int leftAligned = r.left - kLeftBorder;
  const int hCentred = r.left + (width - cx) / 2;
  const int rightAligned = r.right - cx + kRightBorder;
  const int above = r.top - cy + k * kTopBorder;
  const int below = r.bottom - k * kBottomBorder;
  const int leftOf = r.left - cx + k * kLeftBorder;
  const int rightOf = r.right - k * kRightBorder;
  const int topAligned = r.top - kTopBorder;
  const int vCentred = r.top + (height - cy) / 2;
  const int bottomAligned = r.bottom - cy + kBottomBorder;
  switch (position) {
    case 2:
      x = leftAligned, y = above;
      return true;
    case 3:
      x = hCentred, y = above;
      return true;
    case 4:
      x = rightAligned, y = above;
      return true;
    case 5:
      x = leftAligned, y = below;
      return true;
    case 6:
      x = hCentred, y = below;
      return true;
    case 7:
      x = rightAligned, y = below;
      return true;
    case 8:
      x = leftOf, y = topAligned;
      return true;
    case 9:
      x = leftOf, y = vCentred;
      return true;
    case 10:
      x = leftOf, y = bottomAligned;
      return true;
    case 11:
      x = rightOf, y = topAligned;
      return true;
    case 12:
      x = rightOf, y = vCentred;
      return true;
    case 13:
      x = rightOf, y = bottomAligned;
      return true;
    default:
      return false;
  }
}
