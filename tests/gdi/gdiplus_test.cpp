// The graphics facade: statuses, the order transforms compose in, and its failures.
#include <gtest/gtest.h>

#include "platform/gdi/mod_gdiplus.h"
#include "tests/support/pixels_support.h"

namespace {

using namespace mod_Gdiplus;

using testing_support::PlainSurface;

class FacadeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GdiplusStartup(&token_, &input_, nullptr), Ok); }
  void TearDown() override {
    GdiplusShutdown(token_);
    Faults() = {};
    EXPECT_EQ(Live().graphics, 0);
    EXPECT_EQ(Live().images, 0);
    EXPECT_EQ(Live().sessions, 0);
  }
  PlainSurface pDes_{"pDes", platform::Bitmap(30, 30, 0xFF000000)};
  PlainSurface pSrc_{"pSrc", testing_support::Photo(20, 10)};
  ULONG_PTR token_ = 0;
  GdiplusStartupInput input_;
};

TEST_F(FacadeTest, RotationThenTranslationWhenBothAreAppended) {
  GpGraphics* graphics = nullptr;
  ASSERT_EQ(GdipCreateFromHDC(&pDes_, &graphics), Ok);
  ASSERT_EQ(GdipRotateWorldTransform(graphics, 90.0f, MatrixOrderAppend), Ok);
  ASSERT_EQ(GdipTranslateWorldTransform(graphics, 5.0f, 7.0f, MatrixOrderAppend), Ok);
  const platform::Affine world = WorldTransform(graphics);
  // (1, 0) turns clockwise on the screen to (0, 1), then moves by (5, 7).
  EXPECT_NEAR(world.X(1, 0), 5.0, 1e-12);
  EXPECT_NEAR(world.Y(1, 0), 8.0, 1e-12);
  ASSERT_EQ(GdipTranslateWorldTransform(graphics, 1.0f, 0.0f, MatrixOrderPrepend), Ok);
  EXPECT_NEAR(WorldTransform(graphics).X(0, 0), 5.0, 1e-12);
  EXPECT_NEAR(WorldTransform(graphics).Y(0, 0), 8.0, 1e-12);  // the shift was turned too
  EXPECT_EQ(GdipDeleteGraphics(graphics), Ok);
}

TEST_F(FacadeTest, EachForcedFailureReportsItsStatus) {
  GpGraphics* graphics = nullptr;
  GpBitmap* bitmap = nullptr;
  Faults().create_graphics = true;
  EXPECT_EQ(GdipCreateFromHDC(&pDes_, &graphics), OutOfMemory);
  EXPECT_EQ(graphics, nullptr);
  Faults() = {};
  ASSERT_EQ(GdipCreateFromHDC(&pDes_, &graphics), Ok);
  Faults().create_bitmap = true;
  EXPECT_EQ(GdipCreateBitmapFromHBITMAP(&pSrc_, nullptr, &bitmap), OutOfMemory);
  EXPECT_EQ(bitmap, nullptr);
  EXPECT_EQ(GdipDrawImageRect(graphics, bitmap, 0, 0, 20, 10), InvalidParameter);
  Faults() = {};
  ASSERT_EQ(GdipCreateBitmapFromHBITMAP(&pSrc_, nullptr, &bitmap), Ok);
  Faults().draw = true;
  EXPECT_EQ(GdipDrawImageRect(graphics, bitmap, 0, 0, 20, 10), GenericError);
  Faults() = {};
  EXPECT_EQ(GdipDrawImageRect(graphics, bitmap, 0, 0, 20, 10), Ok);
  EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
  EXPECT_EQ(GdipDeleteGraphics(graphics), Ok);
}

TEST(Facade, NothingWorksBeforeStartupAndStartupCanBeMadeToFail) {
  GpGraphics* graphics = nullptr;
  PlainSurface pDes("pDes", platform::Bitmap(4, 4, 0xFF000000));
  EXPECT_EQ(GdipCreateFromHDC(&pDes, &graphics), GdiplusNotInitialized);
  Faults().startup = true;
  ULONG_PTR token = 0;
  const GdiplusStartupInput input;
  EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), GenericError);
  Faults() = {};
  GdiplusStartupInput version2;
  version2.GdiplusVersion = 2;
  EXPECT_EQ(GdiplusStartup(&token, &version2, nullptr), NotImplemented);
  EXPECT_EQ(Live().sessions, 0);
}

TEST(OleColor, ConvertsBothWays) {
  EXPECT_EQ(platform::PixelFromOleColor(0), 0xFF000000u);
  EXPECT_EQ(platform::PixelFromOleColor(0x0000FF), 0xFFFF0000u);  // red
  EXPECT_EQ(platform::PixelFromOleColor(0xFF0000), 0xFF0000FFu);  // blue
  EXPECT_EQ(platform::OleColorFromPixel(0xFF112233), 0x332211u);
}

}  // namespace
