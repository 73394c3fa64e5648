#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>

#include "app/MainFrame.h"
#include "res/Artwork.h"
#include "res/DialogBuilder.h"
#include "res/DialogFont.h"
#include "res/ResourceIds.h"

namespace {

// The width a captioned control needs to show its caption whole.
int NeededWidth(QWidget* w, const QString& caption) {
  const int text = QFontMetrics(w->font()).horizontalAdvance(caption);
  if (auto* box = qobject_cast<QCheckBox*>(w)) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    return contents.left() + text;
  }
  if (qobject_cast<QPushButton*>(w)) return text + 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin);
  if (qobject_cast<QGroupBox*>(w)) return text + 16;
  return text;
}

class MaskStandIn : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
};

}  // namespace

TEST(DialogFont, MeasuresSixByThirteen) {
  const DialogBaseUnits units = MeasureDialogBaseUnits(DialogFont());
  EXPECT_EQ(units.cx, 6);
  EXPECT_EQ(units.cy, 13);
  EXPECT_EQ(QFontInfo(DialogFont()).family(), QStringLiteral("DejaVu Sans"));
}

TEST(DialogBuilder, BuildsEveryFormControlWithItsKindCaptionAndName) {
  QWidget form;
  DialogBuilder builder(*LoadDialogTemplate(IDD_KESTREL_FORM));
  const QList<QWidget*> widgets = builder.Build(&form);
  ASSERT_EQ(widgets.size(), 14);
  EXPECT_EQ(widgets[8]->objectName(), QStringLiteral("static_8"));
  EXPECT_EQ(qobject_cast<QLabel*>(widgets[8])->text(), QStringLiteral("Order:"));

  EXPECT_EQ(qobject_cast<QLabel*>(GetDlgItem(&form, IDC_MASK_LABEL))->text(), QStringLiteral("Search Mask:"));
  EXPECT_EQ(qobject_cast<QLabel*>(GetDlgItem(&form, IDC_LIMIT_LABEL))->text(),
            QStringLiteral("# to Retrieve:"));
  auto* mask = qobject_cast<QComboBox*>(GetDlgItem(&form, IDC_MASK));
  ASSERT_NE(mask, nullptr);
  EXPECT_TRUE(mask->isEditable());
  EXPECT_EQ(qobject_cast<QCheckBox*>(GetDlgItem(&form, IDC_BETWEEN))->text(), QStringLiteral("Between:"));
  EXPECT_EQ(qobject_cast<QCheckBox*>(GetDlgItem(&form, IDC_GET_ALL))->text(), QStringLiteral("Retrieve All"));
  auto* start = qobject_cast<QLineEdit*>(GetDlgItem(&form, IDC_START_DATE));
  ASSERT_NE(start, nullptr);
  EXPECT_TRUE(start->alignment() & Qt::AlignRight);
  auto* status = qobject_cast<QLineEdit*>(GetDlgItem(&form, IDC_STATUS));
  ASSERT_NE(status, nullptr);
  EXPECT_TRUE(status->isReadOnly());
  EXPECT_TRUE(status->alignment() & Qt::AlignHCenter);
  EXPECT_NE(qobject_cast<QLineEdit*>(GetDlgItem(&form, IDC_LIMIT)), nullptr);
  auto* order = qobject_cast<QListWidget*>(GetDlgItem(&form, IDC_ORDER));
  ASSERT_NE(order, nullptr);
  EXPECT_TRUE(order->isSortingEnabled());
  auto* results = qobject_cast<QTreeWidget*>(GetDlgItem(&form, IDC_RESULTS));
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(results->selectionMode(), QAbstractItemView::ExtendedSelection);
  auto* dupe = qobject_cast<QPushButton*>(GetDlgItem(&form, IDC_DUPE));
  auto* quit = qobject_cast<QPushButton*>(GetDlgItem(&form, IDC_QUIT));
  ASSERT_TRUE(dupe && quit);
  EXPECT_EQ(dupe->text(), QStringLiteral("Dupe !"));
  EXPECT_TRUE(dupe->isDefault());
  EXPECT_FALSE(quit->isDefault());

  EXPECT_EQ(results->geometry(), QRect(11, 99, 425, 169));
  EXPECT_EQ(dupe->geometry(), QRect(11, 307, 75, 23));
  // The combo's 69 units are its dropped-down extent, not its closed height.
  EXPECT_LT(mask->height(), 40);
  EXPECT_EQ(mask->geometry().topLeft(), QPoint(99, 11));
  EXPECT_EQ(form.font(), DialogFont());
}

TEST(DialogBuilder, CallerFactoriesGetTheTemplateStylesAndPlace) {
  QWidget form;
  DialogBuilder builder(*LoadDialogTemplate(IDD_KESTREL_FORM));
  int calls = 0;
  builder.SetFactory(IDC_START_DATE, [&](const DialogControl& c, QWidget* parent) -> QWidget* {
    ++calls;
    EXPECT_EQ(c.id, IDC_START_DATE);
    return new MaskStandIn(parent);
  });
  builder.SetFactory(IDC_END_DATE, [](const DialogControl&, QWidget*) -> QWidget* {
    return new MaskStandIn();  // no parent given: the builder adopts it
  });
  builder.Build(&form);
  EXPECT_EQ(calls, 1);
  for (int id : {IDC_START_DATE, IDC_END_DATE}) {
    auto* edit = dynamic_cast<MaskStandIn*>(GetDlgItem(&form, id));
    ASSERT_NE(edit, nullptr) << id;
    EXPECT_EQ(edit->parentWidget(), &form);
    EXPECT_TRUE(edit->alignment() & Qt::AlignRight);
    EXPECT_EQ(edit->geometry(), builder.ControlRect(*builder.Template().FindControl(id)));
  }
}

TEST(DialogBuilder, LabelsNameTheirControlsAndCallersNameTheRest) {
  QWidget form;
  DialogBuilder builder(*LoadDialogTemplate(IDD_KESTREL_FORM));
  builder.SetAccessibleName(IDC_STATUS, QStringLiteral("Status"));
  builder.SetAccessibleName(IDC_START_DATE, QStringLiteral("Start date"));
  builder.Build(&form);
  EXPECT_EQ(GetDlgItem(&form, IDC_MASK)->accessibleName(), QStringLiteral("Search Mask:"));
  EXPECT_EQ(GetDlgItem(&form, IDC_LIMIT)->accessibleName(), QStringLiteral("# to Retrieve:"));
  EXPECT_EQ(form.findChild<QWidget*>(QString::number(IDC_ORDER))->accessibleName(), QStringLiteral("Order:"));
  EXPECT_EQ(GetDlgItem(&form, IDC_STATUS)->accessibleName(), QStringLiteral("Status"));
  EXPECT_EQ(GetDlgItem(&form, IDC_START_DATE)->accessibleName(), QStringLiteral("Start date"));
  // A check box is not a label: the end date field is not named after "Between:".
  EXPECT_TRUE(GetDlgItem(&form, IDC_END_DATE)->accessibleName().isEmpty());
  // Captioned controls keep the name Qt derives from their current text.
  EXPECT_TRUE(GetDlgItem(&form, IDC_DUPE)->accessibleName().isEmpty());
}

TEST(DialogBuilder, TabWalksTheControlsInTemplateOrder) {
  QWidget form;
  DialogBuilder builder(*LoadDialogTemplate(IDD_KESTREL_FORM));
  builder.Build(&form);
  form.show();
  QApplication::setActiveWindow(&form);
  GetDlgItem(&form, IDC_MASK)->setFocus();
  auto current = [&] {
    QWidget* w = QApplication::focusWidget();
    while (w && w->parentWidget() != &form) w = w->parentWidget();
    return w ? w->objectName().toInt() : 0;
  };
  QList<int> visited = {current()};
  for (int i = 0; i < 9; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.append(current());
  }
  // The status line has no tab stop: from the list the next stop is "Dupe !", and Tab wraps.
  const QList<int> expected = {IDC_MASK,    IDC_BETWEEN, IDC_START_DATE, IDC_END_DATE, IDC_LIMIT,
                               IDC_GET_ALL, IDC_ORDER,   IDC_RESULTS,    IDC_DUPE,     IDC_QUIT};
  EXPECT_EQ(visited, expected);
  EXPECT_EQ(GetDlgItem(&form, IDC_STATUS)->focusPolicy(), Qt::ClickFocus);
}

TEST(DialogBuilder, FormFitsTheFrameWithEveryTextWhole) {
  for (unsigned id : {IDD_KESTREL_FORM, IDD_STATISTICS, IDD_NFO_VIEWER}) {
    QWidget dialog;
    DialogBuilder builder(*LoadDialogTemplate(id));
    const QList<QWidget*> widgets = builder.Build(&dialog);
    const QFontMetrics metrics(builder.Font());
    for (int i = 0; i < widgets.size(); ++i) {
      const DialogControl& c = builder.Template().controls[i];
      if (c.caption[0] == '\0') continue;
      const QString caption = StripAccessKeys(c.caption);
      EXPECT_LE(NeededWidth(widgets[i], caption), widgets[i]->width()) << id << " " << c.caption;
      EXPECT_LE(metrics.height(), widgets[i]->height()) << id << " " << c.caption;
    }
  }
  DialogBuilder form(*LoadDialogTemplate(IDD_KESTREL_FORM));
  EXPECT_LE(form.DialogSize().width(), CMainFrame::kMinClientWidth);
  EXPECT_LE(form.DialogSize().height(), CMainFrame::kMinClientHeight);
}

TEST(Artwork, BitmapsAndIconHaveTheirSizesAndArePainted) {
  const QPixmap splash = LoadBitmapResource(IDB_SPLASH);
  EXPECT_EQ(splash.size(), QSize(346, 259));
  const QPixmap background = LoadBitmapResource(IDB_BACKGROUND);
  EXPECT_EQ(background.size(), QSize(498, 361));
  // Both cover their whole area: no transparent corners for the controls to show through.
  for (const QPixmap& p : {splash, background}) {
    const QImage image = p.toImage();
    for (QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1)})
      EXPECT_EQ(qAlpha(image.pixel(corner)), 255);
  }
  // The background is light enough for black label text.
  const QImage bg = background.toImage();
  for (QPoint at : {QPoint(20, 20), QPoint(100, 60), QPoint(20, 320), QPoint(450, 340)})
    EXPECT_GT(qGray(bg.pixel(at)), 185) << at.x() << "," << at.y();

  const QIcon icon = LoadIconResource(IDR_MAINFRAME);
  ASSERT_FALSE(icon.isNull());
  for (int side : {16, 22, 32, 128}) {
    const QImage image = icon.pixmap(side, side).toImage();
    EXPECT_EQ(image.size(), QSize(side, side));
    EXPECT_EQ(qAlpha(image.pixel(side / 2, side / 2)), 255) << side;
  }
  EXPECT_TRUE(LoadBitmapResource(IDB_SPLASH + 100).isNull());
  EXPECT_TRUE(LoadIconResource(0).isNull());
}
