#pragma once
// Where the companion toolbar of a history combo goes, by position code.

struct ToolbarPlacement {
  // A window rectangle; right and bottom lie just outside it.
  struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
  };
  // The toolbar's borders, the toolbar class's defaults.
  static constexpr int kLeftBorder = 6, kRightBorder = 6, kTopBorder = 3, kBottomBorder = 3;

  // Top-left corner for positions 2-13 around the combo rectangle r, for a toolbar of cx by cy.
  // False for position 1 (hidden) and for codes without a place.
  static bool Origin(int position, bool bOutside, const Rect& r, int cx, int cy, int& x, int& y);
};
