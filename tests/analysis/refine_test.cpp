// A line found roughly, followed again on the picture: its tilt to a few hundredths of a
// degree, its whole length however little of it the seed covered.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "platform/analysis/refine.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Bitmap;

enum class Shape { kEdge, kThin, kBowed };

// A light field over a dark one (or a dark line two pixels wide on light) through the
// centre at `degrees` clockwise, from x = `from` to x = `to` (the rest plain light),
// antialiased by 4 x 4 samples a pixel, with a little noise. Bowed: the edge sags by
// `sag` pixels at the centre column, as a lens bows a line below the centre, level
// there.
Bitmap Drawn(Shape shape, double degrees, double from = 0, double to = 1e9, double sag = 0) {
  const int32_t width = 900, height = 600;
  const double a = degrees * std::numbers::pi / 180, s = std::sin(a), c = std::cos(a);
  std::mt19937 random(5);
  std::uniform_int_distribution<int> noise(-3, 3);
  Bitmap picture(width, height, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int dark = 0;
      for (int k = 0; k < 16; ++k) {
        const double px = x + (k % 4 + 0.5) / 4 - 0.5 - 450, py = y + (k / 4 + 0.5) / 4 - 0.5 - 300;
        const double along = px * c + py * s;
        double across = py * c - px * s;
        if (shape == Shape::kBowed) across -= sag * (1 - (along / 450) * (along / 450));
        const bool inside = along + 450 >= from && along + 450 <= to;
        dark += inside && (shape == Shape::kThin ? std::abs(across) < 1 : across > 0);
      }
      const auto v =
          static_cast<uint32_t>(std::clamp(190 - dark * 110 / 16 + noise(random), 0, 255));
      testing_support::Put(picture, x, y, 0xFF000000u | v << 16 | v << 8 | v);
    }
  }
  return picture;
}

TEST(RefineLine, FollowsTheLineToAHundredthOfADegreeAndToItsEnds) {
  const struct {
    const char* what;
    Shape shape;
    double degrees;
    double seed_from, seed_to;  // the seed, along the line from its left end (pixels)
    double from, to;            // where the line is drawn
    double sag;
    double seed_off;  // the seed's clockwise error, degrees
    double length;    // what should be followed, at least
  } cases[] = {
      {"edge", Shape::kEdge, 0.7, 300, 600, 0, 1e9, 0, 0.3, 850},
      {"edge turned the other way", Shape::kEdge, -3.2, 100, 400, 0, 1e9, 0, -0.4, 800},
      {"thin line", Shape::kThin, 1.9, 350, 500, 0, 1e9, 0, 0.3, 850},
      {"a short stretch of a line", Shape::kThin, -0.4, 420, 480, 250, 650, 0, 0.2, 380},
      {"a bowed line, read where it passes the centre", Shape::kBowed, 0, 100, 400, 0, 700, 3, 0,
       650},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bitmap picture = Drawn(c.shape, c.degrees, c.from, c.to, c.sag);
    // The seed's ends: on the line, by the seed's own tilt about its start, 1.5 pixels off.
    const double a = c.degrees * std::numbers::pi / 180,
                 e = (c.degrees + c.seed_off) * std::numbers::pi / 180;
    const double sx = 450 + (c.seed_from - 450) * std::cos(a),
                 sy = 300 + (c.seed_from - 450) * std::sin(a) + 1.5;
    const double run = c.seed_to - c.seed_from;
    const platform::RefinedLine r = platform::RefineLine(
        picture.Read(), sx, sy, sx + run * std::cos(e), sy + run * std::sin(e), 4);
    ASSERT_TRUE(r.valid);
    EXPECT_NEAR(c.degrees + c.seed_off + r.tilt, c.degrees, 0.03);
    EXPECT_GE(r.length, c.length);
    EXPECT_LT(r.length, c.to - c.from + 20);
    EXPECT_LT(r.rms, 0.5);
  }
}

TEST(RefineLine, NothingToFollowOnAPlainField) {
  const Bitmap plain(300, 200, 0xFF808080u);
  EXPECT_FALSE(platform::RefineLine(plain.Read(), 50, 100, 250, 100, 4).valid);
  EXPECT_FALSE(platform::RefineLine(plain.Read(), 50, 100, 51, 100, 4).valid);
}

}  // namespace
