// Straightening by a line drawn with the right mouse button, and the grid: the line's
// angle to the new angle, the drag at 1:1 and in the fit view, Esc, and that neither the
// line nor the grid touches what the window holds.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/angle_tenths.h"
#include "app/fit_view.h"
#include "app/grid_view.h"
#include "app/picture_overlay.h"
#include "app/straighten_line.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::RecordingTracer;

// The same tilt drawn either way along the line gives the same turn; a line nearer
// upright is made upright.
TEST(StraightenedTenths, LinesInEveryQuadrantAndNear45Degrees) {
  const struct {
    int tenths, dx, dy, expected;
    const char* what;
  } cases[] = {
      {0, 400, 28, 3560, "falling to the right by 4.004"},
      {0, -400, -28, 3560, "the same line drawn leftwards"},
      {0, 400, -28, 40, "rising to the right"},
      {0, -400, 28, 40, "rising, drawn leftwards"},
      {0, 28, 400, 40, "near upright, its foot to the left"},
      {0, -28, -400, 40, "the same drawn upwards"},
      {0, -28, 400, 3560, "near upright, its foot to the right"},
      {0, 28, -400, 3560, "the same drawn upwards"},
      {0, 100, 100, 3150, "exactly 45 falling: made level"},
      {0, -100, -100, 3150, "exactly 45 falling, leftwards"},
      {0, 100, -100, 3150, "exactly 45 rising: made upright"},
      {0, 100, 99, 3153, "just under 45: made level"},
      {0, 99, 100, 447, "just over 45: made upright"},
      {0, 400, 0, 0, "already level"},
      {0, 0, 300, 0, "already upright"},
      {0, -300, 0, 0, "level, drawn leftwards"},
      {303, 400, 28, 263, "from 30.3"},
      {303, 400, 27, 264, "3.862 degrees: the result rounded to a tenth"},
      {3590, 400, -28, 30, "past 360: taken modulo 360"},
      {20, 400, 28, 3580, "below 0: taken modulo 360"},
      {3600, 400, 0, 0, "360 and a level line: 0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(app::StraightenedTenths(c.tenths, c.dx, c.dy), c.expected) << c.what;
  }
  EXPECT_DOUBLE_EQ(app::LineAngle(100, 100), 45);
  EXPECT_DOUBLE_EQ(app::LineAngle(100, -100), 45);
  EXPECT_DOUBLE_EQ(app::LineAngle(-7, 7), 45);
  EXPECT_EQ(app::LineAngle(0, 0), 0);
}

TEST(GridOver, EveryFiftyPixelsAndTheThirds) {
  const app::GridLines grid = app::GridOver(QRect(10, 10, 200, 120));
  EXPECT_EQ(grid.xs, (std::vector<int>{60, 110, 160}));
  EXPECT_EQ(grid.ys, (std::vector<int>{60, 110}));
  EXPECT_EQ(grid.third_xs, (std::vector<int>{76, 143}));
  EXPECT_EQ(grid.third_ys, (std::vector<int>{50, 90}));
  EXPECT_TRUE(app::GridOver(QRect(10, 10, 50, 50)).xs.empty());
}

class Straighten : public testing::Test {
 protected:
  void Start(const platform::Bitmap& picture) {
    form_ = testing_support::StartedWindow(picture);
    form_->Show();
    overlay_ = new app::PictureOverlay(*form_);
    line_ = std::make_unique<app::StraightenLine>(*form_, *overlay_);
  }
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::RightButton) {
    QWidget* view = form_->pDes.widget();
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, view->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &event);
  }
  // A drag over pDes from `from` to `to`, in pDes's own pixels.
  void Drag(QPoint from, QPoint to) {
    Mouse(QEvent::MouseButtonPress, from);
    Mouse(QEvent::MouseMove, (from + to) / 2);
    Mouse(QEvent::MouseMove, to);
    Mouse(QEvent::MouseButtonRelease, to);
  }
  QImage Window() const { return form_->widget()->grab().toImage(); }

  std::unique_ptr<app::frm_Main> form_;
  app::PictureOverlay* overlay_ = nullptr;  // the window's
  std::unique_ptr<app::StraightenLine> line_;
};

TEST_F(Straighten, ALineAlongATiltLevelsItAt1To1) {
  Start(Photo(600, 400));
  RecordingTracer tracer;
  Drag({50, 100}, {450, 128});
  EXPECT_EQ(form_->lblAngle.Caption(), "356");
  EXPECT_EQ(form_->Tenths(), 3560);
  ASSERT_FALSE(tracer.lines.empty());
  EXPECT_EQ(tracer.lines[0], R"({"call":"hsTurn_Change","value":356})");  // a whole value
  EXPECT_FALSE(overlay_->Line().has_value());
  EXPECT_FALSE(overlay_->isVisible());
  // Once more along 3.862 degrees, from there: to the tenth.
  Drag({50, 100}, {450, 127});
  EXPECT_EQ(form_->lblAngle.Caption(), "352.1");
}

TEST_F(Straighten, InTheFitViewTheLineIsTakenOnTheScreen) {
  Start(Photo(2400, 1600));
  QTemporaryDir folder;
  QSettings settings(folder.filePath("anyturn.conf"), QSettings::IniFormat);
  app::FitView fit(*form_, settings);
  fit.Set(true);
  ASSERT_LT(form_->pDes.ShownScale(), 0.5);
  Mouse(QEvent::MouseButtonPress, {100, 700});  // below the reduced picture: not over it
  EXPECT_FALSE(line_->Drawing());
  Mouse(QEvent::MouseButtonRelease, {100, 700});
  Drag({100, 100}, {500, 128});
  EXPECT_EQ(form_->lblAngle.Caption(), "356");
}

TEST_F(Straighten, AShortLineIsASlipAndChangesNothing) {
  Start(Photo(300, 200));
  Drag({50, 50}, {65, 62});  // 19.2 pixels
  EXPECT_EQ(form_->lblAngle.Caption(), "Label1");
  EXPECT_EQ(form_->Handlings(), 0);
  Drag({50, 50}, {70, 50});  // 20
  EXPECT_EQ(form_->lblAngle.Caption(), "0");
}

TEST_F(Straighten, TheLineShowsWhileDrawnAndEscTakesItAwayChangingNothing) {
  Start(Photo(400, 300));
  form_->hsTurn.SetValue(30);
  const platform::Bitmap before = form_->pDes.Pixels();
  const QImage window = Window();
  RecordingTracer tracer;
  Mouse(QEvent::MouseButtonPress, {40, 100});
  Mouse(QEvent::MouseMove, {340, 130});
  EXPECT_TRUE(line_->Drawing());
  EXPECT_TRUE(overlay_->isVisible());
  const QImage drawn = Window();
  EXPECT_NE(drawn.pixel(10 + 190, 10 + 115), window.pixel(10 + 190, 10 + 115));  // the line
  EXPECT_NE(drawn.pixel(10 + 355, 10 + 142), window.pixel(10 + 355, 10 + 142));  // its angle
  EXPECT_EQ(drawn.pixel(10 + 190, 10 + 60), window.pixel(10 + 190, 10 + 60));
  QWidget* bar = form_->hsTurn.widget();
  form_->widget()->activateWindow();
  bar->setFocus();
  QTest::keyClick(bar, Qt::Key_Escape);
  EXPECT_FALSE(line_->Drawing());
  Mouse(QEvent::MouseButtonRelease, {340, 130});
  EXPECT_EQ(form_->lblAngle.Caption(), "30");
  EXPECT_TRUE(tracer.lines.empty());
  EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), before), "");
  EXPECT_EQ(Window(), window);
  // Esc means nothing without a drag, and the left button draws no line.
  QTest::keyClick(bar, Qt::Key_Escape);
  Mouse(QEvent::MouseButtonPress, {40, 100}, Qt::LeftButton);
  EXPECT_FALSE(line_->Drawing());
  Mouse(QEvent::MouseButtonRelease, {340, 130}, Qt::LeftButton);
  EXPECT_TRUE(tracer.lines.empty());
}

TEST_F(Straighten, TheGridIsOnlyShownAndIsRemembered) {
  Start(Photo(400, 300));
  form_->hsTurn.SetValue(30);
  QTemporaryDir folder;
  QSettings settings(folder.filePath("anyturn.conf"), QSettings::IniFormat);
  app::GridView grid(*form_, *overlay_, settings);
  EXPECT_FALSE(grid.On());  // off at the first start
  const platform::Bitmap before = form_->pDes.Pixels();
  const QImage window = Window();
  RecordingTracer tracer;
  QWidget* bar = form_->hsTurn.widget();
  form_->widget()->activateWindow();
  bar->setFocus();
  QTest::keyClick(bar, Qt::Key_G);
  ASSERT_TRUE(grid.On());
  EXPECT_TRUE(settings.value(app::kGridSetting).toBool());
  const QImage shown = Window();
  const QRect area = app::ShownPicture(*form_);
  EXPECT_EQ(area.topLeft(), QPoint(10, 10));
  const int third = area.left() + area.width() / 3;
  EXPECT_NE(shown.pixel(area.left() + 50, 200), window.pixel(area.left() + 50, 200));
  EXPECT_NE(shown.pixel(third, 201), window.pixel(third, 201));
  EXPECT_NE(shown.pixel(area.left() + 52, area.top() + 100),
            window.pixel(area.left() + 52, area.top() + 100));
  EXPECT_EQ(shown.pixel(area.left() + 25, 225), window.pixel(area.left() + 25, 225));
  EXPECT_EQ(shown.pixel(area.right() + 20, 30), window.pixel(area.right() + 20, 30));  // beside it
  EXPECT_TRUE(tracer.lines.empty());
  EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), before), "");
  {
    QSettings next(folder.filePath("anyturn.conf"), QSettings::IniFormat);
    const auto again = testing_support::StartedWindow(Photo(40, 30));
    auto* other = new app::PictureOverlay(*again);
    const app::GridView remembered(*again, *other, next);
    EXPECT_TRUE(remembered.On());
  }
  QTest::keyClick(bar, Qt::Key_G);
  EXPECT_FALSE(grid.On());
  EXPECT_EQ(Window(), window);
}

}  // namespace
