// The reduced view: how far it may stray from the turned picture scaled down with an area
// (box) filter, whether drawn from the draw's source or from the picture worked out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/pixels/drawing.h"
#include "platform/pixels/evaluator.h"
#include "platform/pixels/image_nodes.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Bitmap;

TEST(HalfSize, AveragesEachTwoByTwoAndRepeatsAnOddEdge) {
  Bitmap checker(5, 3, 0);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      testing_support::Put(checker, x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    }
  }
  const Bitmap half(platform::Halved(checker.image()));
  ASSERT_EQ(half.width(), 3);
  ASSERT_EQ(half.height(), 2);
  EXPECT_EQ(half.at(0, 0), 0xFF808080u);  // two white, two black
  EXPECT_EQ(half.at(2, 0), 0xFF808080u);  // the odd column: its two pixels, each twice
  EXPECT_EQ(half.at(0, 1), 0xFF808080u);  // the odd row likewise
  EXPECT_EQ(half.at(2, 1), 0xFF000000u);  // the corner: (4, 2) alone, black
}

struct Stray {
  double mean;
  int p99;
  size_t count;
};

// Each pixel of `reduced` against the k x k box average of `full` it stands for, where the
// box and `margin` pixels around it lie inside the picture drawn through `map` (away from
// its outline), on the worst channel.
Stray Compare(const Bitmap& reduced, const Bitmap& full, int k, const platform::Affine& map,
              int32_t width, int32_t height, double margin) {
  const auto inverse = *map.Inverse();
  std::vector<int> errors;
  for (int32_t y = 0; y + 1 < full.height() / k; ++y) {
    for (int32_t x = 0; x + 1 < full.width() / k; ++x) {
      bool inside = true;
      for (const double cx : {x * k - margin, (x + 1) * k + margin}) {
        for (const double cy : {y * k - margin, (y + 1) * k + margin}) {
          const double u = inverse.X(cx, cy), v = inverse.Y(cx, cy);
          inside = inside && u >= 0 && v >= 0 && u <= width && v <= height;
        }
      }
      if (!inside) continue;
      int worst = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        int sum = 0;
        for (int dy = 0; dy < k; ++dy) {
          for (int dx = 0; dx < k; ++dx) sum += (full.at(x * k + dx, y * k + dy) >> shift) & 255;
        }
        const int box = (sum + k * k / 2) / (k * k);
        worst =
            std::max(worst, std::abs(box - static_cast<int>((reduced.at(x, y) >> shift) & 255)));
      }
      errors.push_back(worst);
    }
  }
  std::sort(errors.begin(), errors.end());
  double total = 0;
  for (const int e : errors) total += e;
  return {errors.empty() ? 0 : total / errors.size(),
          errors.empty() ? 0 : errors[errors.size() * 99 / 100], errors.size()};
}

TEST(RealizeReduced, StaysCloseToTheBoxFilteredPictureAwayFromItsOutline) {
  const int32_t width = 1200, height = 900;
  const Bitmap source = testing_support::Photo(width, height, 7);
  const struct {
    double degrees;
    int k;
    bool pending;  // a draw, or the same draw's pixels stored
  } cases[] = {{30, 4, true}, {30, 4, false}, {30, 3, true}, {13, 6, true},
               {45, 8, true}, {45, 8, false}, {0, 2, false}, {358, 5, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.degrees << " degrees, 1/" << c.k
                                    << (c.pending ? ", pending" : ", worked out"));
    // The turn, moved so that the turned picture's bounding box starts at (0, 0).
    const platform::Affine turn = testing_support::Turn(c.degrees, 0, 0);
    double x_lo = 1e9, y_lo = 1e9, x_hi = -1e9, y_hi = -1e9;
    for (const double u : {0.0, double{width}}) {
      for (const double v : {0.0, double{height}}) {
        x_lo = std::min(x_lo, turn.X(u, v)), x_hi = std::max(x_hi, turn.X(u, v));
        y_lo = std::min(y_lo, turn.Y(u, v)), y_hi = std::max(y_hi, turn.Y(u, v));
      }
    }
    const platform::Affine map = turn.Then({1, 0, 0, 1, -x_lo, -y_lo});
    const double w = x_hi - x_lo, h = y_hi - y_lo;
    const auto w_px = static_cast<int32_t>(std::ceil(w)), h_px = static_cast<int32_t>(std::ceil(h));
    Bitmap full(w_px, h_px, 0xFF000000);
    platform::DrawTransformedPixels(full, source, map);
    // Stored, the picture is reduced from its own copies; drawn, from its source's.
    const Bitmap shown = c.pending ? full : Bitmap(platform::StoredImage([&] {
      auto store = std::make_shared<platform::PixelStore>(w_px, h_px);
      platform::RealizeArea(full.image(), full.image()->Bounds(), store->View());
      return store;
    }()));
    Bitmap reduced(shown.width() / c.k + 1, shown.height() / c.k + 1, 0);
    platform::RealizeReduced(shown.image(), 1.0 / c.k, reduced.Write());
    EXPECT_FALSE(platform::Current(full.image()).has_value());  // presentation only
    (void)full.Read();  // worked out, for the box filter
    const Stray stray = Compare(reduced, full, c.k, map, width, height, 2);
    EXPECT_GT(stray.count, 1000u);
    EXPECT_LE(stray.mean, 3.0);
    EXPECT_LE(stray.p99, 12);
  }
}

}  // namespace
