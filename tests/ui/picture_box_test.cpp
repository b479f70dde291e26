// Picture surfaces: units, borders, resizing that takes effect at once, the persistent
// image, transparency, and the records the call trace gets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QPalette>
#include <QRegion>
#include <QWidget>
#include <QtTest/QTest>

#include "platform/base/error.h"
#include "platform/pixels/drawing.h"
#include "platform/pixels/evaluator.h"
#include "platform/ui/picture_box.h"
#include "platform/ui/surface_view.h"
#include "tests/support/test_support.h"

namespace {

using platform::Bitmap;
using testing_support::FirstDifference;

class SurfaceTest : public testing::Test {
 protected:
  app::frm_Main form_;  // fresh from its description, before start-up
};

TEST_F(SurfaceTest, UnitsFollowTheWindowsAndTheSurfacesScaleModes) {
  platform::PictureBox& box = form_.pDes;
  // In twips, as described: 5775 twips are 385 pixels, 4 of them border.
  EXPECT_EQ(box.Width(), 5775.0f);
  EXPECT_EQ(box.WidthPixels(), 385);
  EXPECT_EQ(box.ScaleWidth(), 381.0f * 15);
  box.SetBorderStyle(0);
  EXPECT_EQ(box.ScaleWidth(), 385.0f * 15);
  box.SetScaleMode(3);
  EXPECT_EQ(box.ScaleWidth(), 385.0f);
  form_.SetScaleMode(3);
  EXPECT_EQ(box.Width(), 385.0f);
  EXPECT_EQ(box.Left(), 20.0f);
  EXPECT_NEAR(box.ScaleX(5292, 8, 3), 200.0f, 0.02f);
  EXPECT_EQ(form_.ScaleX(2540, 8, 3), 96.0f);
  EXPECT_THROW(box.SetScaleMode(42), platform::Error);
  EXPECT_THROW(box.SetWidth(-1), platform::Error);
}

TEST_F(SurfaceTest, ResizingTakesEffectAtOnceKeepingTheSharedPixels) {
  platform::PictureBox& box = form_.pTM;
  box.SetBorderStyle(0);
  box.SetScaleMode(3);
  form_.SetScaleMode(3);
  box.SetBackColor(0x0000FF);  // red
  const Bitmap before = testing_support::Numbered(10, 6);
  testing_support::Fill(box, before);
  testing_support::RecordingTracer tracer;
  box.SetWidth(14);
  EXPECT_EQ(box.ScaleWidth(), 14.0f);
  box.SetHeight(3);
  EXPECT_EQ(box.ScaleHeight(), 3.0f);
  ASSERT_EQ(box.Pixels().width(), 14);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 14; ++x) {
      EXPECT_EQ(box.Pixels().at(x, y), x < 10 ? before.at(x, y) : 0xFFFF0000u) << x << "," << y;
    }
  }
  EXPECT_EQ(tracer.lines, (std::vector<std::string>{
                              R"({"call":"Resize","surface":"pTM","width":14,"height":6})",
                              R"({"call":"Resize","surface":"pTM","width":14,"height":3})"}));
}

TEST_F(SurfaceTest, ClsFillsWithBackColorAndImageReportsHiMetric) {
  platform::PictureBox& box = form_.p180;
  box.SetBorderStyle(0);
  testing_support::Fill(box, testing_support::Numbered(200, 100));
  box.SetBackColor(0x00FF00);
  box.Cls();
  EXPECT_EQ(FirstDifference(box.Pixels(), Bitmap(200, 100, 0xFF00FF00)), "");
  EXPECT_EQ(box.Image().Width, 5292);  // 200 px at 96 dpi, rounded
  EXPECT_EQ(box.Image().Height, 2646);
  EXPECT_EQ(box.Image().Handle, box.hDC());
}

TEST_F(SurfaceTest, AutoSizeTakesThePicturesSizeAndTransparencyCompositesOverTheImage) {
  platform::PictureBox& box = form_.pSrc;
  box.SetBorderStyle(0);
  box.SetBackColor(0xFFFFFF);
  box.Cls();
  box.SetAutoSize(true);
  Bitmap half(3, 2, 0x80000000);        // premultiplied: black at half opacity
  testing_support::Put(half, 0, 0, 0);  // wholly transparent
  box.SetPicture(testing_support::AsPicture(half));
  EXPECT_EQ(box.WidthPixels(), 3);
  EXPECT_EQ(box.HeightPixels(), 2);
  EXPECT_EQ(box.Pixels().at(0, 0), 0xFFFFFFFFu);  // the white beneath shows through
  EXPECT_EQ(box.Pixels().at(1, 0), 0xFF7F7F7Fu);  // black at 128/255 over white
}

TEST_F(SurfaceTest, DefaultsAreTheToolkitsAndBorderedSurfacesDrawInside) {
  EXPECT_EQ(form_.pSrc.ScaleMode(), 1);
  EXPECT_EQ(form_.pSrc.BorderStyle(), 1);
  EXPECT_FALSE(form_.pSrc.AutoRedraw());
  EXPECT_FALSE(form_.pSrc.AutoSize());
  EXPECT_EQ(form_.pSrc.Pixels().width(), 193 - 4);
  // The toolkit's window colour, as the window description's colours write it.
  const QColor window = QApplication::palette().color(QPalette::Window);
  const platform::OleColor expected =
      static_cast<platform::OleColor>(window.red() | window.green() << 8 | window.blue() << 16);
  for (const platform::PictureBox* box : {&form_.pSrc, &form_.pDes, &form_.pTM, &form_.p180}) {
    EXPECT_EQ(box->BackColor(), expected) << box->Name();
  }
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

// Many changes in one handling are shown by one repaint, and a change after that repaint
// is shown by another: none is left on the screen unshown.
TEST_F(SurfaceTest, EveryHandlingsChangesAreRepainted) {
  form_.Show();
  QApplication::processEvents();
  PaintCounter counter;
  form_.pDes.widget()->installEventFilter(&counter);
  for (int handling = 1; handling <= 3; ++handling) {
    for (int change = 0; change < 50; ++change) form_.pDes.Cls();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, handling);
  }
}

// What a surface shows is what its pixels stand for, without working out more of them
// than is shown: a clear shows as its colour; a draw shown in part is worked out in that
// part only, and nothing of it is kept.
TEST_F(SurfaceTest, ShowsWhatIsPendingWithoutCarryingItAllOut) {
  platform::PictureBox& box = form_.pTM;
  box.SetBorderStyle(0);
  testing_support::Fill(box, testing_support::Numbered(60, 40));
  box.SetBackColor(0x3366CC);
  box.Cls();
  const uint32_t back = platform::PixelFromOleColor(0x3366CC);
  const QImage cleared = box.widget()->grab().toImage();
  EXPECT_TRUE(box.Pixels().PendingFill().has_value());
  EXPECT_EQ(cleared.pixel(0, 0), back);
  EXPECT_EQ(cleared.pixel(59, 39), back);

  const Bitmap picture = testing_support::Photo(30, 20);
  const platform::Affine map = testing_support::Turn(30, 20, 5);
  Bitmap expected(60, 40, back);
  platform::DrawTransformedPixels(expected, picture, map);
  platform::DrawTransformedPixels(box.Pixels(), picture, map);
  QImage shown(60, 40, QImage::Format_RGB32);
  shown.fill(Qt::black);
  const uint64_t before = platform::PixelsGenerated();
  box.widget()->render(&shown, QPoint(20, 10), QRegion(20, 10, 8, 8));
  EXPECT_FALSE(platform::Current(box.Pixels().image()).has_value());
  EXPECT_LE(platform::PixelsGenerated() - before, 8u * 8u);  // the part shown
  for (int y = 10; y < 18; ++y) {
    for (int x = 20; x < 28; ++x) {
      ASSERT_EQ(shown.pixel(x, y), expected.at(x, y)) << x << "," << y;
    }
  }
}

// Where other controls overlap a surface, what is exposed of it is a region of several
// rectangles; each shows its own part of the pixels, inside the border or without one.
TEST_F(SurfaceTest, ARegionOfSeveralRectanglesShowsEachItsOwnPixels) {
  for (const int border_style : {0, 1}) {
    platform::PictureBox& box = form_.pTM;
    box.SetBorderStyle(border_style);
    const int border = box.BorderPixels();
    testing_support::Fill(box, testing_support::Numbered(60, 40));
    const Bitmap& pixels = box.Pixels();
    QRegion region(3, 4, 30, 9);
    region += QRect(40, 2, 15, 30);
    region += QRect(5, 20, 50, 6);  // overlaps the second: the region splits it up
    ASSERT_GE(region.rectCount(), 4);
    QImage shown(60 + 2 * border, 40 + 2 * border, QImage::Format_RGB32);
    shown.fill(Qt::black);
    // The region is rendered where it lies: its corner at its own place in the image.
    box.widget()->render(&shown, region.boundingRect().topLeft(), region);
    int checked = 0;
    for (const QRect& rect : region) {
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x, ++checked) {
          ASSERT_EQ(shown.pixel(x, y), pixels.at(x - border, y - border))
              << "border " << border << " at " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(checked, 30 * 9 + 15 * 30 + 50 * 6 - 15 * 6);
  }
}

}  // namespace

// A sharp turn is shown quick (bilinear) while the image changes, and sharp once it has
// rested or is settled: a repaint, nothing drawn into the image.
TEST(SurfaceRest, ASharpTurnShowsQuickWhileItChangesAndSharpOnceItRests) {
  platform::SetDefaultResampling(platform::Resampling::kSharp);
  app::frm_Main form;
  platform::PictureBox& box = form.pDes;
  box.SetBorderStyle(0);
  const Bitmap picture = testing_support::Photo(70, 50);
  const platform::Affine map = testing_support::Turn(12, 12, 2);
  auto turned = [&](platform::Resampling r) {
    Bitmap out(86, 66, 0xFF000000);
    out.Set(platform::Drawn(out.image(), picture.image(), map, r));
    return out;
  };
  const Bitmap sharp = turned(platform::Resampling::kSharp);
  const Bitmap quick = turned(platform::Resampling::kBilinear);
  ASSERT_NE(FirstDifference(sharp, quick), "");
  auto shown = [&] {
    const QImage grabbed = box.widget()->grab().toImage();
    Bitmap pixels(grabbed.width(), grabbed.height(), 0);
    for (int y = 0; y < grabbed.height(); ++y) {
      for (int x = 0; x < grabbed.width(); ++x)
        testing_support::Put(pixels, x, y, grabbed.pixel(x, y));
    }
    return pixels;
  };
  testing_support::Fill(box, Bitmap(86, 66, 0xFF000000));
  platform::DrawTransformedPixels(box.Pixels(), picture, map);
  box.PixelsChanged();
  const uint64_t stamp = box.Pixels().Stamp();
  EXPECT_EQ(FirstDifference(shown(), quick), "");
  QTest::qWait(3 * platform::SurfaceView::kRestMs);
  EXPECT_EQ(FirstDifference(shown(), sharp), "");
  EXPECT_EQ(box.Pixels().Stamp(), stamp);  // a repaint only

  // Changed again, then settled at once, as a picture of the window is taken.
  testing_support::Fill(box, Bitmap(86, 66, 0xFF000000));
  platform::DrawTransformedPixels(box.Pixels(), picture, map);
  box.PixelsChanged();
  platform::SettleSurfaceViews(*form.widget());
  EXPECT_EQ(FirstDifference(shown(), sharp), "");
  platform::SetDefaultResampling(platform::Resampling::kBilinear);
}
