// The fit view: F and 1, what it shows, and that it changes nothing but what is shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "app/fit_view.h"
#include "app/frm_main.h"
#include "tests/support/test_support.h"

namespace {

using platform::Bitmap;

struct Shown {
  int32_t left, top, width, height;
  Bitmap pixels;
};

Shown ShownOf(const platform::PictureBox& box) {
  return {box.LeftPixels(), box.TopPixels(), box.WidthPixels(), box.HeightPixels(), box.Pixels()};
}

void ExpectSame(const Shown& a, const Shown& b) {
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_EQ(testing_support::FirstDifference(a.pixels, b.pixels), "");
}

TEST(FitView, FShowsALargePictureWholeOneGoesBackAndNothingElseChanges) {
  QTemporaryDir folder;
  QSettings settings(folder.filePath("anyturn.conf"), QSettings::IniFormat);
  const auto form = testing_support::StartedWindow(testing_support::Photo(2400, 1600));
  form->Show();
  form->hsTurn.SetValue(30);
  const Shown before = ShownOf(form->pDes);
  app::FitView fit(*form, settings);
  EXPECT_FALSE(fit.On());  // the first start is 1:1
  EXPECT_EQ(form->pDes.ShownScale(), 1.0);
  EXPECT_NE(form->pDes.widget()->toolTip().indexOf("F"), -1);

  QWidget* bar = form->hsTurn.widget();
  form->widget()->activateWindow();
  bar->setFocus();
  QTest::keyClick(bar, Qt::Key_F);
  ASSERT_TRUE(fit.On());
  const double expected =
      std::min({1.0, (956.0 - 20) / before.width, (692.0 - 20) / before.height});
  EXPECT_DOUBLE_EQ(form->pDes.ShownScale(), expected);
  EXPECT_TRUE(form->pDes.widget()->toolTip().isEmpty());
  (void)form->widget()->grab();  // paints the reduced picture
  ExpectSame(ShownOf(form->pDes), before);
  EXPECT_EQ(form->lblAngle.Caption(), "30");
  EXPECT_TRUE(settings.value(app::kFitViewSetting).toBool());

  // Remembered: the next start shows the fit view at once.
  {
    QSettings next(folder.filePath("anyturn.conf"), QSettings::IniFormat);
    const auto started = testing_support::StartedWindow(testing_support::Photo(2400, 1600));
    const app::FitView again(*started, next);
    EXPECT_TRUE(again.On());
  }

  QTest::keyClick(bar, Qt::Key_1);
  EXPECT_FALSE(fit.On());
  fit.Toggle();
  EXPECT_TRUE(fit.On());
  QTest::keyClick(bar, Qt::Key_F);
  EXPECT_FALSE(fit.On());
  EXPECT_EQ(form->pDes.ShownScale(), 1.0);
  EXPECT_FALSE(settings.value(app::kFitViewSetting).toBool());
  ExpectSame(ShownOf(form->pDes), before);
}

TEST(FitView, APictureThatFitsIsNeverEnlarged) {
  QTemporaryDir folder;
  QSettings settings(folder.filePath("anyturn.conf"), QSettings::IniFormat);
  const auto form = testing_support::StartedWindow(testing_support::Photo(300, 200));
  form->Show();
  app::FitView fit(*form, settings);
  EXPECT_TRUE(form->pDes.widget()->toolTip().isEmpty());
  fit.Set(true);
  EXPECT_EQ(form->pDes.ShownScale(), 1.0);
}

// What the window shows in the fit view: the reduced picture at pDes's corner, the window's
// own colour beside it.
TEST(FitView, TheWindowShowsTheReducedPictureAtTheDisplaysCorner) {
  QTemporaryDir folder;
  QSettings settings(folder.filePath("anyturn.conf"), QSettings::IniFormat);
  Bitmap picture(2000, 1500, 0);
  for (int32_t y = 0; y < 1500; ++y) {
    for (int32_t x = 0; x < 2000; ++x) {
      testing_support::Put(picture, x, y, x < 1000 ? 0xFFFF0000 : 0xFF0000FF);
    }
  }
  const auto form = testing_support::StartedWindow(picture);
  form->Show();
  app::FitView fit(*form, settings);
  fit.Set(true);
  const double scale = form->pDes.ShownScale();  // 672 / 1500: the height bounds it
  ASSERT_LT(scale, 0.5);
  const QImage window = form->widget()->grab().toImage();
  const int w = static_cast<int>(2000 * scale), h = static_cast<int>(1500 * scale);
  EXPECT_EQ(window.pixel(10 + w / 4, 10 + h / 2), qRgb(255, 0, 0));
  EXPECT_EQ(window.pixel(10 + 3 * w / 4, 10 + h / 2), qRgb(0, 0, 255));
  EXPECT_EQ(window.pixel(10 + w + 20, 10 + h / 2),
            form->widget()->palette().color(QPalette::Window).rgb());
}

}  // namespace
