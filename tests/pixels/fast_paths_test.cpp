// The fast paths against the slow ones: the vector loops against the one-pixel loops,
// a clear folded into a draw against the clear made first, and large jobs split over the
// cores against the reference. (Areas against the whole: evaluator_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <utility>

#include "platform/pixels/bilinear.h"
#include "platform/pixels/drawing.h"
#include "platform/pixels/parallel.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Affine;
using platform::Bitmap;
using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::Put;
using testing_support::Translucent;
using testing_support::Turn;

constexpr uint32_t kBack = 0xFF204060;

struct DrawCase {
  int32_t w, h;
  double degrees;
  bool translucent;
};

// Sizes from one pixel up to ones that split over the cores and into several bands.
std::vector<DrawCase> DrawCases() {
  std::vector<DrawCase> cases = {
      {1, 1, 30, false},  {1, 37, 45, true},    {37, 1, 300, false},    {2, 2, 1, true},
      {13, 7, 91, false}, {333, 211, 30, true}, {701, 433, 359, false}, {640, 480, 177, false}};
  std::mt19937 random(5);
  for (int i = 0; i < 12; ++i) {
    cases.push_back({std::uniform_int_distribution<int>(1, 90)(random),
                     std::uniform_int_distribution<int>(1, 90)(random),
                     static_cast<double>(std::uniform_int_distribution<int>(0, 359)(random)),
                     i % 2 == 1});
  }
  return cases;
}

// One case made ready: its picture, and a square target big enough for the turned
// picture, with the map that puts the picture's centre on the target's centre.
struct Prepared {
  explicit Prepared(const DrawCase& c)
      : source(c.translucent ? Translucent(c.w, c.h) : Photo(c.w, c.h, c.w + c.h)),
        tw(static_cast<int32_t>(std::hypot(c.w, c.h)) + 4),
        th(tw) {
    const Affine turn = Turn(c.degrees, 0, 0);
    const double cx = turn.X(c.w / 2.0, c.h / 2.0), cy = turn.Y(c.w / 2.0, c.h / 2.0);
    map = Turn(c.degrees, tw / 2.0 - cx, th / 2.0 - cy);
  }
  Bitmap source;
  int32_t tw, th;
  Affine map;
};

std::string Name(const DrawCase& c) {
  return std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.degrees);
}

class SimdOff {
 public:
  SimdOff() { platform::AllowSimd(false); }
  ~SimdOff() { platform::AllowSimd(true); }
};

TEST(FastDraw, VectorAndOnePixelLoopsAgreeBitForBit) {
  for (const DrawCase& c : DrawCases()) {
    SCOPED_TRACE(Name(c));
    const Prepared prepared(c);
    const auto& [source, tw, th, map] = prepared;
    Bitmap vector(tw, th, kBack), scalar(tw, th, kBack);
    platform::DrawTransformedPixels(vector, source, map);
    {
      SimdOff off;
      platform::DrawTransformedPixels(scalar, source, map);
    }
    EXPECT_EQ(FirstDifference(vector, scalar), "");
  }
}

// The portable bilinear blend, for machines without SSE2, against the one this machine
// runs: bit for bit, over every weight and random pixels.
TEST(FastDraw, PortableBilinearEqualsTheVectorOne) {
#if defined(__SSE2__)
  std::mt19937 random(3);
  for (uint32_t wx = 0; wx < 256; ++wx) {
    for (uint32_t wy = 0; wy < 256; wy += 5) {
      const uint32_t top[2] = {static_cast<uint32_t>(random()), static_cast<uint32_t>(random())};
      const uint32_t bottom[2] = {static_cast<uint32_t>(random()), static_cast<uint32_t>(random())};
      ASSERT_EQ(platform::BilinearPortable(top, bottom, wx, wy),
                platform::BilinearSse2(top, bottom, wx, wy))
          << wx << "," << wy;
    }
  }
#else
  GTEST_SKIP() << "no vector version on this machine";
#endif
}

TEST(FastDraw, AClearFoldedIntoTheDrawEqualsTheClearMadeFirst) {
  for (const DrawCase& c : DrawCases()) {
    SCOPED_TRACE(Name(c));
    const Prepared prepared(c);
    const auto& [source, tw, th, map] = prepared;
    Bitmap folded(tw, th, 0xFF000000), first(tw, th, kBack);
    folded.Fill(kBack);
    ASSERT_TRUE(folded.PendingFill().has_value());
    platform::DrawTransformedPixels(folded, source, map);
    platform::DrawTransformedPixels(first, source, map);
    EXPECT_FALSE(folded.PendingFill().has_value());
    EXPECT_EQ(FirstDifference(folded, first), "");
  }
}

TEST(FastDraw, LargeJobsOverSeveralCoresStayWithinTwoLevelsOfTheReference) {
  for (const DrawCase& c : {DrawCase{701, 433, 30, false}, DrawCase{640, 480, 223, true}}) {
    SCOPED_TRACE(Name(c));
    const Prepared prepared(c);
    const auto& [source, tw, th, map] = prepared;
    Bitmap fast(tw, th, kBack), reference(tw, th, kBack);
    platform::DrawTransformedPixels(fast, source, map);
    platform::ReferenceDrawTransformedPixels(reference, source, map);
    EXPECT_LE(testing_support::MaxChannelDifference(fast, reference,
                                                    [](int32_t, int32_t) { return true; }),
              2);
  }
}

// The edge pixel's fast twin: every target pixel near and across a picture's edges, for
// turned, scaled and mirrored maps, over opaque and translucent targets.
// The one-pixel draw as the conventions write it, with the maths library's floor and
// nearbyint: the judge of the one used by both the fast draw's edges and the reference.
void TextbookPixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src, int32_t x,
                   int32_t y) {
  const double u = dst_to_src.X(x + 0.5, y + 0.5), v = dst_to_src.Y(x + 0.5, y + 0.5);
  const double gu = std::hypot(dst_to_src.a, dst_to_src.c),
               gv = std::hypot(dst_to_src.b, dst_to_src.d);
  const double w = src.width(), h = src.height();
  auto coverage_of = [](double d) { return std::clamp(d + 0.5, 0.0, 1.0); };
  const double coverage = coverage_of(u / gu) * coverage_of((w - u) / gu) * coverage_of(v / gv) *
                          coverage_of((h - v) / gv);
  if (!(coverage > 0.0)) return;
  const double fx = std::clamp(u - 0.5, 0.0, w - 1), fy = std::clamp(v - 0.5, 0.0, h - 1);
  const auto x0 = static_cast<int32_t>(std::floor(fx)), y0 = static_cast<int32_t>(std::floor(fy));
  const int32_t x1 = std::min(x0 + 1, src.width() - 1), y1 = std::min(y0 + 1, src.height() - 1);
  const double tx = fx - x0, ty = fy - y0;
  auto channel = [](uint32_t pixel, int shift) -> double { return (pixel >> shift) & 0xFF; };
  double sample[4];
  for (int k = 0; k < 4; ++k) {
    const int s = 8 * k;
    sample[k] =
        (1 - ty) * ((1 - tx) * channel(src.at(x0, y0), s) + tx * channel(src.at(x1, y0), s)) +
        ty * ((1 - tx) * channel(src.at(x0, y1), s) + tx * channel(src.at(x1, y1), s));
  }
  const double keep = 1.0 - coverage * sample[3] / 255.0;
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    const double value = coverage * sample[k] + keep * channel(target, 8 * k);
    out |= static_cast<uint32_t>(std::clamp(std::nearbyint(value), 0.0, 255.0)) << (8 * k);
  }
  target = out;
}

TEST(FastDraw, EdgePixelsEqualTheTextbookPixelBitForBit) {
  std::mt19937 random(17);
  const Affine maps[] = {Turn(30, 20, 3),
                         Turn(1, 2, 2),
                         Turn(211, 60, 50),
                         Affine{0.37, 0, 0, 2.5, 4.5, 1.25},
                         Affine{-1, 0, 0, 1, 40, 0},
                         Affine{0.8, 0.9, -1.1, 0.3, 30, 5}};
  for (const Affine& map : maps) {
    for (const bool translucent : {false, true}) {
      const Bitmap source = translucent ? Translucent(23, 17) : Photo(23, 17);
      const auto inverse = map.Inverse();
      ASSERT_TRUE(inverse.has_value());
      const platform::EdgeScale scale = platform::EdgeScales(*inverse);
      for (int32_t y = -2; y < 64; ++y) {
        for (int32_t x = -2; x < 64; ++x) {
          const uint32_t under =
              translucent ? 0x80402010u : 0xFF000000u | static_cast<uint32_t>(random() & 0xFFFFFF);
          uint32_t fast = under, reference = under;
          platform::DrawPixel(fast, source.Read(), *inverse, scale, x, y);
          TextbookPixel(reference, source, *inverse, x, y);
          ASSERT_EQ(fast, reference) << "at " << x << "," << y;
        }
      }
    }
  }
}

// Right angles and copies at sizes that take the threads and the tiled, blocked loops:
// the fast blit must equal the reference exactly, clipping included.
TEST(FastBlit, LargeRightAnglesEqualTheReferenceExactly) {
  const Bitmap source = testing_support::Numbered(611, 457);
  const int32_t w = source.width(), h = source.height();
  struct Corners {
    const char* name;
    platform::Point p[3];
    int32_t tw, th;
  };
  const Corners table[] = {
      {"90, covering", {{h, 0}, {h, w}, {0, 0}}, h, w},
      {"180, covering", {{w - 1, h - 1}, {-1, h - 1}, {w - 1, -1}}, w, h},
      {"270, larger target", {{0, w}, {0, 0}, {h, w}}, h + 2, w + 1},
      {"copy, larger target", {{0, 0}, {w, 0}, {0, h}}, w + 3, h + 1},
      {"90, clipped", {{h - 7, -5}, {h - 7, w - 5}, {-7, -5}}, h + 2, w + 1},
      {"270, shifted", {{3, w + 2}, {3, 2}, {h + 3, w + 2}}, h + 2, w + 1},
      {"mirror, clipped", {{w + 5, -3}, {5, -3}, {w + 5, h - 3}}, w, h},
  };
  for (const Corners& c : table) {
    SCOPED_TRACE(c.name);
    Bitmap fast(c.tw, c.th, 0xFF000000), reference(c.tw, c.th, kBack);
    fast.Fill(kBack);  // a pending clear, which a copy covering the target may skip
    EXPECT_EQ(platform::PlgBltPixels(fast, c.p, source, 0, 0, w, h),
              platform::ReferencePlgBltPixels(reference, c.p, source, 0, 0, w, h));
    EXPECT_EQ(FirstDifference(fast, reference), "");
  }
}

}  // namespace
