// The sharp resampler of a turn: held to its reference, flat where the picture is flat,
// no overshoot at a step, sharper than bilinear, the same by areas as whole, and the
// bilinear pixels still there when asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "platform/pixels/evaluator.h"
#include "platform/pixels/image_nodes.h"
#include "platform/pixels/kernels.h"
#include "platform/pixels/sharp.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Affine;
using platform::ConstPixelView;
using platform::Image;
using platform::PixelRect;
using platform::PixelView;
using platform::Resampling;
using testing_support::Photo;
using testing_support::Translucent;
using testing_support::Turn;

constexpr uint32_t kBlack = 0xFF000000;

int Channel(uint32_t pixel, int k) {
  return static_cast<int>((pixel >> (8 * k)) & 0xFF);
}

Image TurnedOver(const Image& source, const Affine& map, int32_t w, int32_t h, Resampling r) {
  return platform::Drawn(platform::SolidImage(w, h, kBlack), source, map, r);
}

// A picture of one colour, or a gradient, stored.
Image Filled(int32_t w, int32_t h, uint32_t (*pixel)(int32_t x, int32_t y)) {
  auto store = std::make_shared<platform::PixelStore>(w, h);
  const PixelView view = store->View();
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) view.row(y)[x] = pixel(x, y);
  }
  return platform::StoredImage(std::move(store));
}

struct ReferenceCase {
  int32_t w, h;
  double degrees, dx, dy;
  PixelRect area;  // of a 48 x 48 target
};

TEST(SharpSamples, FastStaysWithinOneLevelOfTheReference) {
  const std::vector<ReferenceCase> cases = {
      {31, 23, 7, 9.3, 3.7, {0, 0, 48, 48}},    {31, 23, 33, 14.25, -2.5, {5, 7, 41, 30}},
      {17, 29, -20, 3, 9, {0, 0, 48, 48}},      {31, 23, 100, 40.5, 2, {0, 0, 48, 48}},
      {31, 23, 200, 40, 30.1, {10, 3, 47, 44}}, {23, 31, 290, 5, 40, {0, 0, 48, 48}},
      {31, 23, 44.9, 20, 0, {0, 20, 48, 21}},   {31, 23, 0.1, 0.4, 0.6, {0, 0, 48, 48}},
      {31, 23, 359.7, 2, 2, {1, 1, 2, 2}},      {5, 3, 60, 8, 8, {0, 0, 48, 48}},
  };
  for (const bool translucent : {false, true}) {
    for (const ReferenceCase& c : cases) {
      const platform::Bitmap picture = translucent ? Translucent(c.w, c.h) : Photo(c.w, c.h);
      const ConstPixelView source = picture.Read();
      const Affine map = Turn(c.degrees, c.dx, c.dy);
      std::vector<uint32_t> fast(48 * 48, 0x12345678), slow(48 * 48, 0x12345678);
      ASSERT_TRUE(platform::SharpSamples({fast.data(), 48, 48, 48}, source, map, c.area));
      ASSERT_TRUE(platform::ReferenceSharpSamples({slow.data(), 48, 48, 48}, source, map, c.area));
      int worst = 0;
      for (int32_t y = c.area.top; y < c.area.bottom; ++y) {
        for (int32_t x = c.area.left; x < c.area.right; ++x) {
          const uint32_t a = fast[y * 48 + x], b = slow[y * 48 + x];
          // A tile that cannot reach the picture is left as it was.
          if (a == 0x12345678) continue;
          for (int k = 0; k < 4; ++k)
            worst = std::max(worst, std::abs(Channel(a, k) - Channel(b, k)));
        }
      }
      EXPECT_LE(worst, 1) << c.degrees << " degrees, " << c.w << "x" << c.h
                          << (translucent ? " translucent" : "");
    }
  }
}

TEST(SharpTurnOf, TakesTurnsAndLeavesEverythingElseToBilinear) {
  EXPECT_TRUE(platform::SharpTurnOf(Turn(7, 3, 4), 10, 10).has_value());
  EXPECT_TRUE(platform::SharpTurnOf(Turn(180, 3, 4), 10, 10).has_value());
  EXPECT_FALSE(platform::SharpTurnOf(Affine{2, 0, 0, 2, 0, 0}, 10, 10).has_value());
  EXPECT_FALSE(platform::SharpTurnOf(Affine{-1, 0, 0, 1, 10, 0}, 10, 10).has_value());  // mirror
  EXPECT_FALSE(platform::SharpTurnOf(Affine{1, 0, 0.3, 1, 0, 0}, 10, 10).has_value());  // slant
  // Each turn is taken as quarter turns and what is left within 45 degrees.
  for (const auto& [degrees, quarters] : {std::pair{10.0, 0},
                                          {80.0, 1},
                                          {100.0, 1},
                                          {170.0, 2},
                                          {-100.0, 3},
                                          {-80.0, 3},
                                          {300.0, 3}}) {
    const auto turn = platform::SharpTurnOf(Turn(degrees, 0, 0), 10, 20);
    ASSERT_TRUE(turn.has_value()) << degrees;
    EXPECT_EQ(turn->quarters, quarters) << degrees;
    EXPECT_LE(std::abs(turn->beta), std::sin(std::numbers::pi / 4) + 1e-9) << degrees;
  }
}

// Covered pixels of a turn over black, those a pixel and more inside the turned picture.
template <typename Check>
void ForCoveredPixels(ConstPixelView out, int32_t w, int32_t h, const Affine& map, Check check) {
  const Affine inv = *map.Inverse();
  for (int32_t y = 0; y < out.height; ++y) {
    for (int32_t x = 0; x < out.width; ++x) {
      const double u = inv.X(x + 0.5, y + 0.5), v = inv.Y(x + 0.5, y + 0.5);
      if (u > 1.5 && v > 1.5 && u < w - 1.5 && v < h - 1.5) check(x, y, out.at(x, y));
    }
  }
}

TEST(SharpTurn, AFlatPictureStaysFlat) {
  for (const uint32_t colour : {0xFF3A7BC4u, 0xFFFFFFFFu, 0xFF000000u}) {
    for (const double degrees : {0.3, 7.0, 33.0, 137.0}) {
      static uint32_t fill;
      fill = colour;
      const Image source = Filled(60, 40, [](int32_t, int32_t) { return fill; });
      const Affine map = Turn(degrees, 50, 40);
      const Image turned = TurnedOver(source, map, 130, 120, Resampling::kSharp);
      int wrong = 0;
      ForCoveredPixels(platform::Realize(turned), 60, 40, map,
                       [&](int32_t, int32_t, uint32_t pixel) { wrong += pixel != colour; });
      EXPECT_EQ(wrong, 0) << std::hex << colour << std::dec << " at " << degrees;
    }
  }
}

TEST(SharpTurn, AStepDoesNotOvershootEitherLevel) {
  const Image step = Filled(80, 80, [](int32_t x, int32_t) {
    const uint32_t level = x < 40 ? 64 : 192;
    return 0xFF000000u | level << 16 | level << 8 | level;
  });
  for (const double degrees : {7.0, 33.0, 81.0}) {
    const Affine map = Turn(degrees, 60, 20);
    const Image turned = TurnedOver(step, map, 160, 160, Resampling::kSharp);
    int low = 255, high = 0;
    ForCoveredPixels(platform::Realize(turned), 80, 80, map, [&](int32_t, int32_t, uint32_t p) {
      low = std::min(low, Channel(p, 0));
      high = std::max(high, Channel(p, 0));
    });
    EXPECT_EQ(low, 64) << degrees;
    EXPECT_EQ(high, 192) << degrees;
  }
}

// Turned by `degrees` and back again: how far from the original its middle is (PSNR, dB).
double TurnAndBack(const Image& source, double degrees, Resampling r) {
  const int32_t w = source->width(), h = source->height();
  const double rad = degrees * std::numbers::pi / 180;
  // Around the centre, into a target large enough for any turn, and back.
  const int32_t side = static_cast<int32_t>(std::ceil(std::hypot(w, h))) + 2;
  const Affine to_centre{1, 0, 0, 1, -w / 2.0, -h / 2.0};
  const Affine turn{std::cos(rad), std::sin(rad), -std::sin(rad),
                    std::cos(rad), side / 2.0,    side / 2.0};
  const Affine there = to_centre.Then(turn);
  const Image turned = TurnedOver(source, there, side, side, r);
  const Image back = TurnedOver(turned, *there.Inverse(), w, h, r);
  const ConstPixelView a = platform::Realize(source), b = platform::Realize(back);
  double sum = 0;
  int64_t count = 0;
  for (int32_t y = h / 4; y < 3 * h / 4; ++y) {
    for (int32_t x = w / 4; x < 3 * w / 4; ++x) {
      const double d = Channel(a.at(x, y), 1) - Channel(b.at(x, y), 1);
      sum += d * d;
      ++count;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / std::max(sum / count, 1e-12));
}

TEST(SharpTurn, KeepsMoreThanBilinearThroughATurnAndBack) {
  // Detail up to about two thirds of the finest the grid holds, at several directions.
  const Image detail = Filled(96, 96, [](int32_t x, int32_t y) {
    const double v = 128 + 40 * std::sin(x * 1.9 + y * 0.4) + 40 * std::sin(x * 0.5 - y * 1.7) +
                     20 * std::sin(x * 1.1 + y * 1.3);
    const auto level = static_cast<uint32_t>(std::lround(v));
    return 0xFF000000u | level << 16 | level << 8 | level;
  });
  for (const double degrees : {7.0, 33.0}) {
    const double sharp = TurnAndBack(detail, degrees, Resampling::kSharp);
    const double bilinear = TurnAndBack(detail, degrees, Resampling::kBilinear);
    EXPECT_GT(sharp, bilinear + 4) << degrees << ": " << sharp << " against " << bilinear;
  }
}

TEST(SharpTurn, AreasAreTheWhole) {
  const platform::Bitmap picture = Photo(150, 110);
  for (const double degrees : {3.0, 30.0, 212.0}) {
    const Affine map = Turn(degrees, 100, 90);
    const Image turned = TurnedOver(picture.image(), map, 220, 200, Resampling::kSharp);
    const Image again = TurnedOver(picture.image(), map, 220, 200, Resampling::kSharp);
    const ConstPixelView whole = platform::Realize(turned);
    for (const PixelRect area : {PixelRect{0, 0, 220, 3},
                                 {17, 40, 190, 57},
                                 {100, 0, 101, 200},
                                 {60, 150, 220, 200},
                                 {0, 0, 220, 200}}) {
      const int32_t w = area.right - area.left, h = area.bottom - area.top;
      std::vector<uint32_t> part(static_cast<size_t>(w) * h);
      platform::RealizeArea(again, area, {part.data(), w, w, h});
      int differ = 0;
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          differ += part[y * w + x] != whole.at(area.left + x, area.top + y);
        }
      }
      EXPECT_EQ(differ, 0) << degrees << " degrees, area from " << area.left << "," << area.top;
    }
  }
}

TEST(SharpTurn, BilinearOnRequestIsTodaysDraw) {
  const platform::Bitmap picture = Photo(90, 70);
  const Affine map = Turn(21, 40, 10);
  const Image sharp = TurnedOver(picture.image(), map, 140, 130, Resampling::kSharp);
  const Image quick = platform::WithResampling(sharp, Resampling::kBilinear);
  const Image bilinear = TurnedOver(picture.image(), map, 140, 130, Resampling::kBilinear);
  const ConstPixelView a = platform::Realize(quick), b = platform::Realize(bilinear);
  const ConstPixelView s = platform::Realize(sharp);
  int differ = 0, sharper = 0;
  for (int32_t y = 0; y < 130; ++y) {
    for (int32_t x = 0; x < 140; ++x) {
      differ += a.at(x, y) != b.at(x, y);
      sharper += s.at(x, y) != b.at(x, y);
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(sharper, 0);
  // Nothing to change: the image itself.
  EXPECT_EQ(platform::WithResampling(bilinear, Resampling::kBilinear), bilinear);
}

}  // namespace
