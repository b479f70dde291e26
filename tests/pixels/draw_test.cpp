// The transformed draw: exact at a whole-pixel shift, within tolerance of the reference
// elsewhere, and touching nothing outside the turned picture.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "platform/pixels/drawing.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Affine;
using platform::Bitmap;
using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::Put;
using testing_support::Turn;

constexpr uint32_t kBack = 0xFF000000;

TEST(DrawTransformed, ZeroDegreesShiftedByMinusOneIsAnExactCopy) {
  for (const auto& [w, h] : {std::pair{200, 100}, {1, 1}, {2, 3}, {37, 1}, {1, 29}}) {
    const Bitmap source = Photo(w, h);
    for (const bool reference : {false, true}) {
      Bitmap target(std::max(w - 1, 0), std::max(h - 1, 0), kBack);
      const Affine shift = Turn(0, -1, -1);
      if (reference) {
        platform::ReferenceDrawTransformedPixels(target, source, shift);
      } else {
        platform::DrawTransformedPixels(target, source, shift);
      }
      Bitmap expected(target.width(), target.height(), 0);
      for (int32_t y = 0; y < expected.height(); ++y) {
        for (int32_t x = 0; x < expected.width(); ++x) Put(expected, x, y, source.at(x + 1, y + 1));
      }
      EXPECT_EQ(FirstDifference(target, expected), "")
          << w << "x" << h << (reference ? " reference" : "");
    }
  }
}

struct TurnCase {
  int32_t w, h;
  double degrees;
  double dx, dy;
  int32_t tw, th;
};

// Fast against reference: equal outside (where nothing may be touched), within 2 levels
// per channel everywhere else.
TEST(DrawTransformed, FastStaysWithinTwoLevelsOfTheReference) {
  std::vector<TurnCase> cases = {{200, 100, 30, 49, -1, 222, 186},
                                 {200, 100, 135, 211, 70, 211, 211},
                                 {64, 48, 1, 1, -1, 70, 50},
                                 {3, 97, 89, 96, -1, 100, 8}};
  std::mt19937 random(42);
  for (int i = 0; i < 30; ++i) {
    const int32_t w = std::uniform_int_distribution<int>(1, 60)(random);
    const int32_t h = std::uniform_int_distribution<int>(1, 60)(random);
    const double degrees = std::uniform_real_distribution<double>(0, 360)(random);
    cases.push_back({w, h, degrees, 40, 40, 100, 100});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " at " << c.degrees);
    const Bitmap source = Photo(c.w, c.h, static_cast<uint32_t>(c.w * 31 + c.h));
    Bitmap fast(c.tw, c.th, kBack), reference(c.tw, c.th, kBack);
    platform::DrawTransformedPixels(fast, source, Turn(c.degrees, c.dx, c.dy));
    platform::ReferenceDrawTransformedPixels(reference, source, Turn(c.degrees, c.dx, c.dy));
    const auto untouched = [&](int32_t x, int32_t y) { return reference.at(x, y) == kBack; };
    int mismatched_outside = 0;
    for (int32_t y = 0; y < c.th; ++y) {
      for (int32_t x = 0; x < c.tw; ++x)
        mismatched_outside += untouched(x, y) && fast.at(x, y) != kBack;
    }
    EXPECT_EQ(mismatched_outside, 0);
    EXPECT_LE(testing_support::MaxChannelDifference(fast, reference,
                                                    [](int32_t, int32_t) { return true; }),
              2);
  }
}

// Coverage blends against what the target holds: a one-colour picture drawn over the same
// colour leaves no fringe at all, at any angle.
TEST(DrawTransformed, EdgesBlendWithoutFringes) {
  const uint32_t colour = 0xFF3080C0;
  const Bitmap source(50, 30, colour);
  for (const double degrees : {0.0, 7.0, 30.0, 45.0, 135.0, 271.5}) {
    for (const bool reference : {false, true}) {
      Bitmap target(90, 90, colour);
      if (reference) {
        platform::ReferenceDrawTransformedPixels(target, source, Turn(degrees, 40.3, 20.7));
      } else {
        platform::DrawTransformedPixels(target, source, Turn(degrees, 40.3, 20.7));
      }
      EXPECT_EQ(FirstDifference(target, Bitmap(90, 90, colour)), "") << degrees;
    }
  }
}

// The one-pixel draw, at one pixel: bilinear halfway between two pixel centres, full
// coverage inside, half coverage on an edge.
TEST(DrawTransformed, OnePixelFollowsTheConventions) {
  Bitmap source(2, 1, 0);
  Put(source, 0, 0, 0xFF000000);
  Put(source, 1, 0, 0xFFC8C8C8);
  const auto to_src = *Affine{1, 0, 0, 1, 0.5, 0}.Inverse();  // source shifted right by half
  const platform::EdgeScale scale = platform::EdgeScales(to_src);
  uint32_t pixel = 0xFF000000;
  platform::DrawPixel(pixel, source.Read(), to_src, scale, 1, 0);  // centre 1.5 -> u = 1.0
  EXPECT_EQ(pixel, 0xFF646464u);
  uint32_t edge = 0xFFFFFFFF;  // centre 0.5 -> u = 0: half covered, first pixel's colour
  platform::DrawPixel(edge, source.Read(), to_src, scale, 0, 0);
  EXPECT_EQ(edge, 0xFF808080u);
}

}  // namespace
