// The outside of a turned picture: coverage as alpha, and the straighten crop's size
// and place.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/outside.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Bitmap;
using platform::PixelSize;

// The crop's formula written out for one case: W x H turned by `tilt` degrees (0 to 45).
double K(double w, double h, double tilt) {
  const double a = tilt * std::numbers::pi / 180.0;
  return std::min(w / (w * std::cos(a) + h * std::sin(a)), h / (w * std::sin(a) + h * std::cos(a)));
}

TEST(StraightenCropSize, IsTheLargestRectangleOfTheTurnedPicturesOwnShape) {
  struct Case {
    double degrees;
    double w, h, tilt;  // the turned picture's upright shape, and its tilt from level
  };
  // A 600 x 400 picture: past 45 degrees it stands on its side (400 x 600).
  const Case cases[] = {
      {10, 600, 400, 10},  {30, 600, 400, 30},     {45, 600, 400, 45},  {46, 400, 600, 44},
      {60, 400, 600, 30},  {89, 400, 600, 1},      {91, 400, 600, 1},   {135, 400, 600, 45},
      {150, 600, 400, 30}, {200, 600, 400, 20},    {300, 400, 600, 30}, {359, 600, 400, 1},
      {-30, 600, 400, 30}, {30.5, 600, 400, 30.5},
  };
  for (const Case& c : cases) {
    const PixelSize size = app::StraightenCropSize(600, 400, c.degrees);
    const double k = K(c.w, c.h, c.tilt);
    EXPECT_EQ(size.width, static_cast<int32_t>(std::floor(k * c.w))) << c.degrees;
    EXPECT_EQ(size.height, static_cast<int32_t>(std::floor(k * c.h))) << c.degrees;
  }
}

TEST(StraightenCropSize, AtRightAnglesIsTheWholeTurnedPicture) {
  const struct {
    double degrees;
    PixelSize size;
  } cases[] = {
      {0, {640, 480}}, {90, {480, 640}}, {180, {640, 480}}, {270, {480, 640}}, {360, {640, 480}}};
  for (const auto& c : cases) {
    EXPECT_EQ(app::StraightenCropSize(640, 480, c.degrees), c.size) << c.degrees;
  }
}

// Coverage of a disc: 255 inside radius r - 1, 0 outside r + 1, blended between.
Bitmap Disc(int32_t size, double r) {
  Bitmap coverage(size, size, 0xFF000000u);
  for (int32_t y = 0; y < size; ++y) {
    for (int32_t x = 0; x < size; ++x) {
      const double d = std::hypot(x + 0.5 - size / 2.0, y + 0.5 - size / 2.0);
      const double c = std::clamp(r + 0.5 - d, 0.0, 1.0);
      const auto v = static_cast<uint32_t>(std::lround(c * 255));
      testing_support::Put(coverage, x, y, 0xFF000000u | v << 16 | v << 8 | v);
    }
  }
  return coverage;
}

TEST(StraightenCrop, ShrinksUntilEveryPixelIsFullyCovered) {
  const Bitmap coverage = Disc(100, 40);
  // A 70 x 70 square does not fit in a disc of radius 40 (its corners reach 49.5).
  const platform::PixelRect r = app::StraightenCrop(coverage, {70, 70});
  ASSERT_LT(r.left, r.right);
  EXPECT_EQ(r.right - r.left, r.bottom - r.top);  // shrunk alike on each side
  EXPECT_LT(r.right - r.left, 70);
  EXPECT_EQ(r.left + r.right, 100);  // centred
  const auto corner = std::hypot(r.right - 50.0, r.bottom - 50.0);
  EXPECT_LE(corner, 40.0);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    for (int32_t x = r.left; x < r.right; ++x) ASSERT_EQ(coverage.at(x, y) & 0xFF, 255u);
  }
  // One pixel more on each side would take in a blended one.
  const platform::PixelRect wider{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
  bool blended = false;
  for (int32_t y = wider.top; y < wider.bottom; ++y) {
    for (int32_t x = wider.left; x < wider.right; ++x) blended |= (coverage.at(x, y) & 0xFF) != 255;
  }
  EXPECT_TRUE(blended);
}

TEST(StraightenCrop, NothingCoveredLeavesNothing) {
  const platform::PixelRect r = app::StraightenCrop(Bitmap(20, 20, 0xFF000000u), {10, 10});
  EXPECT_EQ(r.right - r.left, 0);
}

TEST(WithCoverageAsAlpha, GivesEachPixelItsCoverageAndStaysPremultiplied) {
  Bitmap turned(4, 1, 0);
  Bitmap coverage(4, 1, 0);
  const uint32_t pixels[] = {0xFFC08040u, 0xFF604020u, 0xFF000000u, 0xFF807060u};
  const uint32_t covered[] = {0xFFFFFFFFu, 0xFF808080u, 0xFF000000u, 0xFF404040u};
  for (int32_t x = 0; x < 4; ++x) {
    testing_support::Put(turned, x, 0, pixels[x]);
    testing_support::Put(coverage, x, 0, covered[x]);
  }
  const Bitmap out = app::WithCoverageAsAlpha(turned, coverage);
  EXPECT_EQ(out.at(0, 0), 0xFFC08040u);     // inside: as it was
  EXPECT_EQ(out.at(1, 0), 0x80604020u);     // half covered: colour x 1/2 already
  EXPECT_EQ(out.at(2, 0), 0x00000000u);     // outside: transparent
  EXPECT_EQ(out.at(3, 0), 0x40404040u);     // rounding above the coverage is clamped
  EXPECT_EQ(turned.at(1, 0), 0xFF604020u);  // the turned picture itself is untouched
}

}  // namespace
