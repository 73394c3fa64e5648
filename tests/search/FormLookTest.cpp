// The form's look under any palette and at any scale factor; ctest runs this program once per
// QT_SCALE_FACTOR (1, 1.25, 1.5, 2).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolBar>
#include <QToolButton>
#include <cstdio>
#include <memory>

#include "app/MainFrame.h"
#include "app/SplashDlg.h"
#include "res/Artwork.h"
#include "res/ResourceIds.h"
#include "search/StatisticsDlg.h"
#include "tests/search/KestrelViewFixture.h"
#include "tests/support/Contrast.h"

namespace {

QPalette Scheme(const char* name) {
  const QString n = QString::fromLatin1(name);
  if (n == QLatin1String("light")) return QPalette(QColor(0xef, 0xef, 0xef));
  // Dark: light grey ink on dark grey, as desktop dark schemes have it. Contrast: white on black.
  const bool contrast = n == QLatin1String("contrast");
  const QColor window = contrast ? QColor(Qt::black) : QColor(0x2e, 0x2f, 0x30);
  const QColor base = contrast ? QColor(Qt::black) : QColor(0x1e, 0x1e, 0x1e);
  const QColor ink = contrast ? QColor(Qt::white) : QColor(0xd0, 0xd0, 0xd0);
  QPalette p(ink, window, window.lighter(150), window.darker(150), window.darker(120), ink, Qt::white, base,
             window);
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  p.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
  return p;
}

// The part of grab (the form at its device pixel ratio) that shows rect of widget w.
QRect Device(const QWidget* w, QRect rect, qreal ratio) {
  rect.translate(w->mapTo(w->window(), QPoint(0, 0)));
  return QRect((rect.topLeft() * ratio), (rect.size() * ratio)).adjusted(1, 1, -1, -1);
}

// Detail finer than a logical pixel: some aligned block of ratio x ratio device pixels is not
// one colour. A picture drawn at 96 dpi and blown up has none.
bool HasFineDetail(const QImage& image, QRect logical, int ratio) {
  for (int y = logical.top(); y < logical.bottom(); ++y)
    for (int x = logical.left(); x < logical.right(); ++x)
      for (int k = 1; k < ratio * ratio; ++k)
        if (image.pixel(x * ratio + k % ratio, y * ratio + k / ratio) != image.pixel(x * ratio, y * ratio))
          return true;
  return false;
}

class FormLook : public KestrelViewFixture {
 protected:
  void SetUp() override {
    KestrelViewFixture::SetUp();
    desktop = QApplication::palette();
  }
  void TearDown() override {
    view.reset();
    frame.reset();
    QApplication::setPalette(desktop);
    KestrelViewFixture::TearDown();
  }
  // The form in its frame, shown, as start-up makes them.
  void Open() {
    frame = std::make_unique<CMainFrame>();
    view = std::make_unique<CKestrelView>(DupesEndpoints{});
    view->OnInitialUpdate();
    frame->SetView(view.get());
    frame->show();
    QApplication::processEvents();
  }
  std::unique_ptr<CMainFrame> frame;
  QPalette desktop;
};

// Texts drawn straight on the artwork: labels, and check boxes with their indicator.
TEST_F(FormLook, TextsOnTheArtworkContrastWithItUnderAnyPalette) {
  for (const char* scheme : {"light", "dark", "contrast"}) {
    SCOPED_TRACE(scheme);
    QApplication::setPalette(Scheme(scheme));
    Open();
    const qreal ratio = view->devicePixelRatioF();
    for (auto* box : view->findChildren<QCheckBox*>()) box->setChecked(true);
    const QImage grab = view->grab().toImage();
    for (auto* label : view->findChildren<QLabel*>()) {
      if (!label->isVisible()) continue;  // the local index's note, with nothing to say
      const double contrast = TextContrast(grab, Device(label, label->rect(), ratio));
      EXPECT_GE(contrast, 4.5) << label->text().toStdString();
      std::printf("%s %s: %.1f\n", scheme, qPrintable(label->text()), contrast);
    }
    for (auto* box : view->findChildren<QCheckBox*>()) {
      QStyleOptionButton option;
      option.initFrom(box);
      option.text = box->text();
      option.state |= QStyle::State_On;
      const QRect text = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
      const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
      const double textContrast = TextContrast(grab, Device(box, text, ratio));
      const double markContrast = TextContrast(grab, Device(box, mark, ratio));
      EXPECT_GE(textContrast, 4.5) << box->text().toStdString();
      EXPECT_GE(markContrast, 4.5) << box->text().toStdString() << " (check mark)";
      std::printf("%s %s: %.1f, check mark %.1f\n", scheme, qPrintable(box->text()), textContrast,
                  markContrast);
    }

    // Windows without artwork simply follow the palette.
    CStatisticsDlg* statistics = CStatisticsDlg::Open(DupesEndpoints{}, view.get());
    QApplication::processEvents();
    const QImage window = statistics->grab().toImage();
    for (auto* label : statistics->findChildren<QLabel*>())
      EXPECT_GE(TextContrast(window, Device(label, label->rect(), ratio)), 4.5)
          << label->text().toStdString();
    // Its frame stands out from its face on every side.
    const QColor face = statistics->palette().color(QPalette::Window);
    const int right = window.width() - 1, bottom = window.height() - 1;
    for (const QPoint& edge :
         {QPoint(right / 2, 0), QPoint(right / 2, bottom), QPoint(0, bottom / 2), QPoint(right, bottom / 2)})
      EXPECT_GE(ContrastRatio(window.pixelColor(edge), face), 3.0)
          << "frame at " << edge.x() << "," << edge.y();
    delete statistics;
    view.reset();
    frame.reset();
  }
}

TEST_F(FormLook, EveryControlIsWholeInsideTheFrameAndTheArtworkIsSharp) {
  Open();
  const QRect client = frame->rect();
  EXPECT_EQ(view->geometry(), client);
  for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible()) continue;
    SCOPED_TRACE(child->objectName().toStdString());
    EXPECT_TRUE(view->rect().contains(child->geometry()));
    if (auto* label = qobject_cast<QLabel*>(child)) {
      EXPECT_LE(label->sizeHint().width(), label->width());
      EXPECT_LE(label->fontMetrics().height(), label->height());
    } else if (auto* box = qobject_cast<QCheckBox*>(child)) {
      EXPECT_LE(box->sizeHint().width(), box->width());
    } else if (auto* button = qobject_cast<QPushButton*>(child)) {
      QStyleOptionButton option;
      option.initFrom(button);
      const QRect inside = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&'))),
                inside.width());
    } else if (auto* list = qobject_cast<QListWidget*>(child)) {
      for (int i = 0; i < list->count(); ++i)
        EXPECT_LE(list->visualItemRect(list->item(i)).left() +
                      list->fontMetrics().horizontalAdvance(list->item(i)->text()),
                  list->viewport()->width());
    }
  }

  // The artwork follows the screen's device pixel ratio: background, splash, toolbar and icon.
  const qreal ratio = frame->screen()->devicePixelRatio();
  EXPECT_EQ(view->devicePixelRatioF(), ratio);
  const int whole = qRound(ratio);
  const QImage grab = view->grab().toImage();
  if (whole > 1 && whole == ratio) {
    // The hills at the foot of the form, between the two buttons.
    EXPECT_TRUE(HasFineDetail(grab, QRect(100, view->height() - 40, 240, 36), whole));
  }
  const QToolBar* toolbar = view->findChild<QToolBar*>();
  ASSERT_NE(toolbar, nullptr);
  for (auto* button : toolbar->findChildren<QToolButton*>()) {
    if (!button->isVisible()) continue;
    EXPECT_EQ(button->icon().pixmap(toolbar->iconSize(), ratio).devicePixelRatio(), ratio);
  }
  EXPECT_EQ(frame->windowIcon().pixmap(QSize(32, 32), ratio).size(), QSize(32, 32) * ratio);

  CSplashDlg splash(nullptr, 60000);
  splash.show();
  QApplication::processEvents();
  ASSERT_NE(splash.Picture(), nullptr);
  EXPECT_EQ(splash.Picture()->pixmap().devicePixelRatio(), ratio);
  EXPECT_EQ(splash.size(), BitmapResourceSize(IDB_SPLASH));
}

}  // namespace
