// The parallelogram blit and the block copy, on bitmaps: the pixel rule worked through the
// right-angle corners, the fast versions against the reference, and clipping.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/pixels/drawing.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Bitmap;
using platform::Point;
using testing_support::FirstDifference;
using testing_support::Numbered;

constexpr uint32_t kBlank = 0xFFABCDEF;

struct RightAngleCase {
  const char* name;
  Point corners[3];
  int32_t dst_w, dst_h;
  // Source pixel that target (x, y) must hold, for a 200 x 100 source.
  std::function<Point(int32_t, int32_t)> source_of;
};

TEST(PlgBltPixels, RightAngleCornersTurnThePictureExactly) {
  const RightAngleCase cases[] = {
      {"0",
       {{0, 0}, {200, 0}, {0, 100}},
       200,
       100,
       [](int32_t x, int32_t y) {
         return Point{x, y};
       }},
      {"90",
       {{100, 0}, {100, 200}, {0, 0}},
       100,
       200,
       [](int32_t x, int32_t y) {
         return Point{y, 99 - x};
       }},
      {"180",
       {{199, 99}, {-1, 99}, {199, -1}},
       200,
       100,
       [](int32_t x, int32_t y) {
         return Point{199 - x, 99 - y};
       }},
      {"270",
       {{0, 200}, {0, 0}, {100, 200}},
       100,
       200,
       [](int32_t x, int32_t y) {
         return Point{199 - y, x};
       }},
  };
  const Bitmap source = Numbered(200, 100);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool reference : {false, true}) {
      Bitmap target(c.dst_w, c.dst_h, kBlank);
      const bool drawn =
          reference ? platform::ReferencePlgBltPixels(target, c.corners, source, 0, 0, 200, 100)
                    : platform::PlgBltPixels(target, c.corners, source, 0, 0, 200, 100);
      ASSERT_TRUE(drawn);
      Bitmap expected(c.dst_w, c.dst_h, 0);
      for (int32_t y = 0; y < c.dst_h; ++y) {
        for (int32_t x = 0; x < c.dst_w; ++x) {
          const Point p = c.source_of(x, y);
          testing_support::Put(expected, x, y, source.at(p.x, p.y));
        }
      }
      EXPECT_EQ(FirstDifference(target, expected), "") << (reference ? "reference" : "fast");
    }
  }
}

TEST(PlgBltPixels, TargetsOfAnotherSizeKeepTheCornerRule) {
  // 90 degrees, corners centred in a target that reports 105 or 97 columns.
  const Bitmap source = Numbered(200, 100);
  const struct {
    Point corners[3];
    int32_t width;
    int32_t shift;
  } cases[] = {{{{102, 0}, {102, 200}, {2, 0}}, 105, 2}, {{{99, 0}, {99, 200}, {-1, 0}}, 97, -1}};
  for (const auto& c : cases) {
    Bitmap target(c.width, 200, kBlank);
    ASSERT_TRUE(platform::PlgBltPixels(target, c.corners, source, 0, 0, 200, 100));
    for (int32_t y = 0; y < 200; ++y) {
      for (int32_t x = 0; x < c.width; ++x) {
        const int32_t row = 99 - (x - c.shift);
        const uint32_t expected = row >= 0 && row < 100 ? source.at(y, row) : kBlank;
        ASSERT_EQ(target.at(x, y), expected) << x << "," << y << " width " << c.width;
      }
    }
  }
}

TEST(PlgBltPixels, ZeroAreaOrEmptySourceDrawsNothingAndFails) {
  const Bitmap source = Numbered(4, 4);
  Bitmap target(4, 4, kBlank);
  const Point flat[3] = {{0, 0}, {4, 0}, {8, 0}};
  const Point square[3] = {{0, 0}, {4, 0}, {0, 4}};
  EXPECT_FALSE(platform::PlgBltPixels(target, flat, source, 0, 0, 4, 4));
  EXPECT_FALSE(platform::PlgBltPixels(target, square, source, 0, 0, 0, 4));
  EXPECT_EQ(FirstDifference(target, Bitmap(4, 4, kBlank)), "");
}

// Random corners: turns, mirrors, stretches and slants, partly outside the target.
TEST(PlgBltPixels, FastEqualsReferenceOnRandomParallelograms) {
  std::mt19937 random(20261207);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int round = 0; round < 300; ++round) {
    const int32_t w = pick(1, 40), h = pick(1, 40);
    const Bitmap source = Numbered(w, h);
    const int32_t tw = pick(1, 50), th = pick(1, 50);
    const Point p1{pick(-10, 50), pick(-10, 50)};
    Point corners[3];
    switch (round % 4) {
      case 0: {  // exact right-angle turn of the picture's own size
        const int sx = pick(0, 1) ? 1 : -1, sy = pick(0, 1) ? 1 : -1;
        corners[0] = p1;
        corners[1] = {p1.x, p1.y + sx * w};
        corners[2] = {p1.x + sy * h, p1.y};
        break;
      }
      case 1: {  // copy or mirror at the picture's own size
        const int sx = pick(0, 1) ? 1 : -1, sy = pick(0, 1) ? 1 : -1;
        corners[0] = p1;
        corners[1] = {p1.x + sx * w, p1.y};
        corners[2] = {p1.x, p1.y + sy * h};
        break;
      }
      default:  // anything
        corners[0] = p1;
        corners[1] = {pick(-10, 50), pick(-10, 50)};
        corners[2] = {pick(-10, 50), pick(-10, 50)};
    }
    const int32_t sx = pick(-2, 2), sy = pick(-2, 2);
    Bitmap fast(tw, th, kBlank), reference(tw, th, kBlank);
    const bool a = platform::PlgBltPixels(fast, corners, source, sx, sy, w, h);
    const bool b = platform::ReferencePlgBltPixels(reference, corners, source, sx, sy, w, h);
    ASSERT_EQ(a, b) << "round " << round;
    ASSERT_EQ(FirstDifference(fast, reference), "") << "round " << round;
  }
}

TEST(BitBltPixels, CopiesOnlyWhatLiesOnBothSurfaces) {
  std::mt19937 random(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int round = 0; round < 400; ++round) {
    const Bitmap source = Numbered(pick(1, 20), pick(1, 20));
    const Bitmap before(pick(1, 20), pick(1, 20), kBlank);
    // Rectangles from wholly outside to straddling every edge.
    const int32_t x = pick(-25, 25), y = pick(-25, 25), w = pick(-3, 30), h = pick(-3, 30);
    const int32_t sx = pick(-25, 25), sy = pick(-25, 25);
    Bitmap fast = before, reference = before;
    platform::BitBltPixels(fast, x, y, w, h, source, sx, sy);
    platform::ReferenceBitBltPixels(reference, x, y, w, h, source, sx, sy);
    ASSERT_EQ(FirstDifference(fast, reference), "") << "round " << round;
    // Every changed pixel came from the source at the same offset.
    for (int32_t ty = 0; ty < fast.height(); ++ty) {
      for (int32_t tx = 0; tx < fast.width(); ++tx) {
        const int64_t i = tx - x, j = ty - y;
        const bool inside = i >= 0 && j >= 0 && i < w && j < h && sx + i >= 0 && sy + j >= 0 &&
                            sx + i < source.width() && sy + j < source.height();
        const uint32_t expected =
            inside ? source.at(static_cast<int32_t>(sx + i), static_cast<int32_t>(sy + j)) : kBlank;
        ASSERT_EQ(fast.at(tx, ty), expected) << "round " << round << " at " << tx << "," << ty;
      }
    }
  }
}

TEST(BitBltPixels, OverlappingCopyWithinOneBitmapReadsTheOriginal) {
  for (const auto& [dx, dy] : {std::pair{1, 1}, {-1, -1}, {2, 0}, {0, -2}}) {
    Bitmap fast = Numbered(10, 8);
    Bitmap reference = fast;
    platform::BitBltPixels(fast, 2 + dx, 2 + dy, 5, 4, fast, 2, 2);
    platform::ReferenceBitBltPixels(reference, 2 + dx, 2 + dy, 5, 4, reference, 2, 2);
    EXPECT_EQ(FirstDifference(fast, reference), "") << dx << "," << dy;
  }
}

}  // namespace
