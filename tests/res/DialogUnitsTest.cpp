#include <gtest/gtest.h>

#include <set>

#include "res/DialogTemplates.h"
#include "res/DialogUnits.h"
#include "res/ResourceIds.h"

namespace {
constexpr DialogBaseUnits kUnits{6, 13};

PixelRect Place(unsigned dialog, int id) {
  const DialogControl* c = LoadDialogTemplate(dialog)->FindControl(id);
  EXPECT_NE(c, nullptr) << id;
  if (!c) return {};
  return DialogRectToPixels(c->x, c->y, c->width, c->height, kUnits);
}
}  // namespace

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(7, 6, 4), 11);    // 10.5
  EXPECT_EQ(MulDiv(5, 6, 4), 8);     // 7.5
  EXPECT_EQ(MulDiv(1, 6, 4), 2);     // 1.5
  EXPECT_EQ(MulDiv(3, 13, 8), 5);    // 4.875
  EXPECT_EQ(MulDiv(-7, 6, 4), -11);  // -10.5
  EXPECT_EQ(MulDiv(7, -6, 4), -11);
  EXPECT_EQ(MulDiv(7, 6, -4), -11);
  EXPECT_EQ(MulDiv(1, 1, 0), 0);
  EXPECT_EQ(MulDiv(1000000, 1000000, 1000000), 1000000);  // product past 32 bits
}

TEST(DialogUnits, BaseWidthIsTheRoundedAverageOfTheLetters) {
  // (total / 26 + 1) / 2: each bin of the half-average rounds up.
  EXPECT_EQ(BaseWidthFromSampleWidth(312), 6);  // average exactly 6
  EXPECT_EQ(BaseWidthFromSampleWidth(286), 6);  // lowest total that still rounds to 6
  EXPECT_EQ(BaseWidthFromSampleWidth(285), 5);
  EXPECT_EQ(BaseWidthFromSampleWidth(337), 6);
  EXPECT_EQ(BaseWidthFromSampleWidth(338), 7);
  EXPECT_EQ(BaseWidthFromSampleWidth(0), 0);
  const DialogBaseUnits units = BaseUnitsFromMetrics(320, 13);
  EXPECT_EQ(units.cx, 6);
  EXPECT_EQ(units.cy, 13);
}

TEST(DialogTemplates, FormControlsLandOnTheOriginalPixels) {
  const DialogTemplate* form = LoadDialogTemplate(IDD_KESTREL_FORM);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(DialogUnitsToPixelsX(form->width, kUnits), 446);
  EXPECT_EQ(DialogUnitsToPixelsY(form->height, kUnits), 341);
  EXPECT_EQ(Place(IDD_KESTREL_FORM, IDC_MASK_LABEL), (PixelRect{11, 11, 77, 20}));
  EXPECT_EQ(Place(IDD_KESTREL_FORM, IDC_RESULTS), (PixelRect{11, 99, 425, 169}));
  EXPECT_EQ(Place(IDD_KESTREL_FORM, IDC_STATUS), (PixelRect{99, 284, 249, 20}));
  EXPECT_EQ(Place(IDD_KESTREL_FORM, IDC_DUPE), (PixelRect{11, 307, 75, 23}));
  EXPECT_EQ(Place(IDD_KESTREL_FORM, IDC_QUIT), (PixelRect{360, 307, 75, 23}));
  EXPECT_EQ(Place(IDD_KESTREL_FORM, IDC_ORDER), (PixelRect{342, 62, 93, 31}));
}

TEST(DialogTemplates, FormHoldsEveryControlInTabOrderWithItsKindAndStyle) {
  const DialogTemplate* form = LoadDialogTemplate(IDD_KESTREL_FORM);
  ASSERT_NE(form, nullptr);
  const std::vector<int> order = {IDC_MASK_LABEL,  IDC_MASK,   IDC_BETWEEN, IDC_START_DATE, IDC_END_DATE,
                                  IDC_LIMIT_LABEL, IDC_LIMIT,  IDC_GET_ALL, IDC_STATIC,     IDC_ORDER,
                                  IDC_RESULTS,     IDC_STATUS, IDC_DUPE,    IDC_QUIT};
  ASSERT_EQ(form->controls.size(), order.size());
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(form->controls[i].id, order[i]) << i;
  EXPECT_EQ(form->controls[8].kind, ControlKind::StaticText);
  EXPECT_STREQ(form->controls[8].caption, "Order:");

  const DialogControl* dupe = form->FindControl(IDC_DUPE);
  EXPECT_STREQ(dupe->caption, "Dupe !");
  EXPECT_EQ(dupe->style & 0xF, BS_DEFPUSHBUTTON);
  EXPECT_EQ(form->FindControl(IDC_QUIT)->style & 0xF, 0u);
  EXPECT_TRUE(form->FindControl(IDC_START_DATE)->style & ES_RIGHT);
  EXPECT_TRUE(form->FindControl(IDC_STATUS)->style & ES_READONLY);
  EXPECT_TRUE(form->FindControl(IDC_STATUS)->style & ES_CENTER);
  EXPECT_TRUE(form->FindControl(IDC_ORDER)->style & LBS_SORT);
  EXPECT_EQ(form->FindControl(IDC_MASK)->kind, ControlKind::ComboBox);
  EXPECT_EQ(form->FindControl(IDC_RESULTS)->kind, ControlKind::ListView);
  EXPECT_EQ(form->FindControl(IDC_GET_ALL)->kind, ControlKind::CheckBox);
  EXPECT_STREQ(form->FindControl(IDC_GET_ALL)->caption, "Retrieve All");
  EXPECT_EQ(form->FindControl(IDC_STATIC), nullptr);
}

TEST(DialogTemplates, EveryTemplateKeepsItsControlsInsideWithUniqueIds) {
  for (unsigned id : {IDD_ABOUTBOX, IDD_KESTREL_FORM, IDD_NFO_VIEWER, IDD_SPLASH, IDD_STATISTICS}) {
    const DialogTemplate* t = LoadDialogTemplate(id);
    ASSERT_NE(t, nullptr) << id;
    EXPECT_EQ(t->id, id);
    std::set<int> ids;
    for (const DialogControl& c : t->controls) {
      EXPECT_GE(c.x, 0);
      EXPECT_GE(c.y, 0);
      EXPECT_LE(c.x + c.width, t->width) << id << "/" << c.id;
      EXPECT_LE(c.y + c.height, t->height) << id << "/" << c.id;
      if (c.id != IDC_STATIC) {
        EXPECT_TRUE(ids.insert(c.id).second) << id << "/" << c.id;
      }
    }
  }
  EXPECT_EQ(LoadDialogTemplate(0), nullptr);
  EXPECT_EQ(LoadDialogTemplate(IDR_TRAY_MENU), nullptr);
}

TEST(DialogTemplates, OtherTemplatesCarryTheirSizesAndKeyControls) {
  const DialogTemplate* nfo = LoadDialogTemplate(IDD_NFO_VIEWER);
  EXPECT_EQ(nfo->width, 350);
  EXPECT_EQ(nfo->height, 204);
  EXPECT_STREQ(nfo->caption, "Dialog");
  EXPECT_FALSE(nfo->style & WS_SYSMENU);
  EXPECT_TRUE(nfo->FindControl(IDC_NFO_TEXT)->style & ES_MULTILINE);
  EXPECT_STREQ(nfo->FindControl(IDOK_CONTROL)->caption, "OK");

  const DialogTemplate* stats = LoadDialogTemplate(IDD_STATISTICS);
  EXPECT_EQ(stats->width, 214);
  EXPECT_EQ(stats->height, 164);
  EXPECT_FALSE(stats->style & WS_CAPTION);
  for (int id : {IDC_PRIMARY_ACTIVE, IDC_PRIMARY_UPDATE, IDC_PRIMARY_COUNT, IDC_BACKUP_ACTIVE,
                 IDC_BACKUP_UPDATE, IDC_BACKUP_COUNT})
    EXPECT_STREQ(stats->FindControl(id)->caption, "<checking>") << id;
  EXPECT_EQ(stats->controls.front().kind, ControlKind::GroupBox);
  EXPECT_STREQ(stats->controls.front().caption, "Primary Database");

  const DialogTemplate* splash = LoadDialogTemplate(IDD_SPLASH);
  ASSERT_EQ(splash->controls.size(), 1u);
  EXPECT_EQ(splash->controls[0].id, IDC_SPLASH_PICTURE);
  EXPECT_EQ(splash->controls[0].kind, ControlKind::Picture);
  EXPECT_FALSE(splash->style & WS_CAPTION);
}
