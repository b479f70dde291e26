// The fast paths against the slow ones: the vector loops against the one-pixel loops,
// a clear folded into a draw against the clear made first, a deferred draw worked out
// area by area against the whole draw, and large jobs split over the cores against the
// reference.
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

// Works out `count` small overlapping areas of `deferred` at random, as the edge repair
// asks for them, and compares each, where it lies on the bitmap, with `whole`.
testing::AssertionResult AreasMatch(const Bitmap& deferred, const Bitmap& whole,
                                    std::mt19937& random, int count) {
  const int32_t tw = whole.width(), th = whole.height();
  for (int i = 0; i < count; ++i) {
    const int32_t x = std::uniform_int_distribution<int>(-3, tw)(random);
    const int32_t y = std::uniform_int_distribution<int>(-3, th)(random);
    const int32_t side = std::uniform_int_distribution<int>(1, 7)(random);
    const platform::ConstPixelView area = deferred.ReadArea({x, y, x + side, y + side});
    for (int32_t v = std::max(y, 0); v < std::min(y + side, th); ++v) {
      for (int32_t u = std::max(x, 0); u < std::min(x + side, tw); ++u) {
        if (area.at(u, v) != whole.at(u, v)) {
          return testing::AssertionFailure() << "differs at " << u << "," << v;
        }
      }
    }
  }
  return testing::AssertionSuccess();
}

// A deferred draw: each area worked out alone holds exactly the pixels of the whole draw,
// however the areas overlap and in whatever order they are read.
TEST(DeferredDraw, AreasWorkedOutAloneEqualTheWholeDraw) {
  std::mt19937 random(11);
  for (const DrawCase& c : DrawCases()) {
    SCOPED_TRACE(Name(c));
    const Prepared prepared(c);
    const auto& [source, tw, th, first_map] = prepared;
    Bitmap deferred(tw, th, 0);
    // The same bitmap twice: what was worked out for the first draw must not stand in
    // for the second, which puts the picture elsewhere.
    Affine second_map = first_map;
    second_map.e += 2.5;
    second_map.f -= 1.25;
    for (const Affine& map : {first_map, second_map}) {
      Bitmap whole(tw, th, kBack);
      platform::DrawTransformedPixels(whole, source, map);
      deferred.Fill(kBack);
      ASSERT_TRUE(deferred.DeferDraw(source, map));
      ASSERT_TRUE(AreasMatch(deferred, whole, random, 40));
      EXPECT_TRUE(deferred.HasPendingDraw());
      EXPECT_EQ(FirstDifference(deferred, whole), "");  // reading it all finishes the draw
      EXPECT_FALSE(deferred.HasPendingDraw());
    }
  }
}

// The two kinds of deferred work on a 57 x 31 picture: the transformed draw, and a copy
// (a mirror placed inside a larger target, so that the clear shows around it).
struct Deferral {
  const char* name;
  std::function<bool(Bitmap& target, const Bitmap& source)> defer;
  std::function<void(Bitmap& target, const Bitmap& source)> eager;
};

std::vector<Deferral> Deferrals(const Affine& map) {
  const platform::RowCopy mirror{60, 40, -1, -1, 0, 0, 57, 31};
  return {
      {"draw", [=](Bitmap& t, const Bitmap& s) { return t.DeferDraw(s, map); },
       [=](Bitmap& t, const Bitmap& s) { platform::DrawTransformedPixels(t, s, map); }},
      {"mirror", [=](Bitmap& t, const Bitmap& s) { return t.DeferCopy(s, mirror); },
       [=](Bitmap& t, const Bitmap& s) { platform::CopyRows(t, s, mirror); }},
  };
}

// Whatever happens to the source first, the target shows the source as it was drawn.
TEST(DeferredDraw, TheSourceChangingOrGoingAwayFirstFinishesTheDraw) {
  const Prepared prepared(DrawCase{57, 31, 30, false});
  const auto& [original, tw, th, map] = prepared;
  struct Change {
    const char* name;
    void (*apply)(std::unique_ptr<Bitmap>& source);
  };
  const Change changes[] = {
      {"written", [](std::unique_ptr<Bitmap>& s) { Put(*s, 4, 3, 0xFFFFFFFF); }},
      {"cleared", [](std::unique_ptr<Bitmap>& s) { s->Fill(0xFF00FF00); }},
      {"resized", [](std::unique_ptr<Bitmap>& s) { s->Resize(5, 5, 0xFF00FF00, "source"); }},
      {"assigned", [](std::unique_ptr<Bitmap>& s) { *s = Bitmap(9, 9, 0xFFFF0000); }},
      {"destroyed", [](std::unique_ptr<Bitmap>& s) { s.reset(); }},
      {"drawn onto",
       [](std::unique_ptr<Bitmap>& s) {
         platform::DrawTransformedPixels(*s, Bitmap(4, 4, 0xFFFFFFFF), Affine{});
       }},
  };
  for (const Deferral& deferral : Deferrals(map)) {
    Bitmap expected(tw, th, kBack);
    deferral.eager(expected, original);
    for (const Change& change : changes) {
      SCOPED_TRACE(std::string(deferral.name) + ", then the source " + change.name);
      auto source = std::make_unique<Bitmap>(original);
      Bitmap target(tw, th, 0);
      target.Fill(kBack);
      ASSERT_TRUE(deferral.defer(target, *source));
      change.apply(source);
      EXPECT_FALSE(target.HasPendingDraw());
      EXPECT_EQ(FirstDifference(target, expected), "");
    }
  }
}

// A copy worked out area by area: a mirror at the picture's own size, as the edge repair
// makes one, and copies clipped by the target, placed both ways.
TEST(DeferredCopy, AreasWorkedOutAloneEqualTheWholeCopy) {
  const struct {
    int32_t tw, th;
    platform::RowCopy copy;
  } cases[] = {
      {57, 31, {56, 30, -1, -1, 0, 0, 57, 31}},  // the 180-degree turn
      {70, 50, {3, 40, 1, -1, 5, 2, 50, 29}},    // upside down, inside a larger target
      {70, 50, {69, 7, -1, 1, 0, 0, 57, 31}},    // mirrored, at the target's right edge
      {9, 40, {4, 39, 1, -1, 20, 0, 1, 31}},     // one column
  };
  const Bitmap source = Photo(57, 31);
  std::mt19937 random(23);
  for (const auto& [tw, th, copy] : cases) {
    SCOPED_TRACE(std::to_string(copy.x) + "," + std::to_string(copy.y));
    Bitmap whole(tw, th, kBack);
    platform::CopyRows(whole, source, copy);
    Bitmap deferred(tw, th, 0);
    deferred.Fill(kBack);
    ASSERT_TRUE(deferred.DeferCopy(source, copy));
    ASSERT_TRUE(AreasMatch(deferred, whole, random, 30));
    EXPECT_TRUE(deferred.HasPendingDraw());
    EXPECT_EQ(FirstDifference(deferred, whole), "");
    EXPECT_FALSE(deferred.HasPendingDraw());
  }
}

// The edge repair's chain: a draw deferred from a mirror that is itself deferred. Reading
// areas of the draw works out only what they read of the mirror; the mirror finished, or
// its source changed, before the draw is read, leaves the draw's pixels as they were.
TEST(DeferredCopy, ADrawFromADeferredMirror) {
  const Prepared prepared(DrawCase{57, 31, 30, false});
  const auto& [original, tw, th, map] = prepared;
  const platform::RowCopy mirror{56, 30, -1, -1, 0, 0, 57, 31};
  Bitmap turned(57, 31, kBack);
  platform::CopyRows(turned, original, mirror);
  Bitmap expected(tw, th, kBack);
  platform::DrawTransformedPixels(expected, turned, map);
  const struct {
    const char* name;
    void (*apply)(Bitmap& source, Bitmap& middle);
  } events[] = {
      {"the mirror read whole", [](Bitmap&, Bitmap& m) { (void)m.Read(); }},
      {"the mirror written", [](Bitmap&, Bitmap& m) { Put(m, 0, 0, 0xFFFFFFFF); }},
      {"the source written", [](Bitmap& s, Bitmap&) { Put(s, 5, 5, 0xFFFFFFFF); }},
      {"the source cleared", [](Bitmap& s, Bitmap&) { s.Fill(0xFF00FF00); }},
  };
  for (const auto& event : events) {
    SCOPED_TRACE(event.name);
    Bitmap source = original;
    Bitmap middle(57, 31, 0), target(tw, th, 0);
    middle.Fill(kBack);
    target.Fill(kBack);
    ASSERT_TRUE(middle.DeferCopy(source, mirror));
    ASSERT_TRUE(target.DeferDraw(middle, map));
    EXPECT_TRUE(middle.HasPendingDraw());  // the draw did not need the whole mirror
    // The picture's middle.
    const platform::ConstPixelView area = target.ReadArea({tw / 2, th / 2, tw / 2 + 3, th / 2 + 3});
    EXPECT_TRUE(middle.HasPendingDraw());
    for (int32_t v = th / 2; v < th / 2 + 3; ++v) {
      for (int32_t u = tw / 2; u < tw / 2 + 3; ++u) {
        ASSERT_EQ(area.at(u, v), expected.at(u, v)) << "at " << u << "," << v;
      }
    }
    event.apply(source, middle);
    EXPECT_EQ(FirstDifference(target, expected), "");
  }
}

// The edge repair's chain again, with every area asked for at once, as many as go over
// the cores: each holds the draw's pixels as soon as the call returns, and the draw stays
// pending for the rest.
TEST(DeferredCopy, ManyAreasAtOnceEqualTheWholeDraw) {
  for (const DrawCase& c : {DrawCase{700, 433, 30, false}, DrawCase{97, 61, 250, true}}) {
    const Prepared prepared(c);
    const auto& [original, tw, th, map] = prepared;
    const platform::RowCopy mirror{c.w - 1, c.h - 1, -1, -1, 0, 0, c.w, c.h};
    Bitmap turned(c.w, c.h, kBack);
    platform::CopyRows(turned, original, mirror);
    Bitmap expected(tw, th, kBack);
    platform::DrawTransformedPixels(expected, turned, map);
    std::mt19937 random(31);
    for (const size_t count : {size_t{0}, size_t{1}, size_t{3000}}) {
      SCOPED_TRACE(Name(c) + ", " + std::to_string(count) + " areas");
      std::vector<platform::PixelRect> areas;
      for (size_t i = 0; i < count; ++i) {
        const int32_t x = std::uniform_int_distribution<int>(-3, tw)(random);
        const int32_t y = std::uniform_int_distribution<int>(-3, th)(random);
        const int32_t side = std::uniform_int_distribution<int>(1, 5)(random);
        areas.push_back({x, y, x + side, y + side});
      }
      Bitmap middle(c.w, c.h, 0), target(tw, th, 0);
      middle.Fill(kBack);
      target.Fill(kBack);
      ASSERT_TRUE(middle.DeferCopy(original, mirror));
      ASSERT_TRUE(target.DeferDraw(middle, map));
      target.PrepareAreas(areas);
      EXPECT_TRUE(target.HasPendingDraw());
      for (const auto& [left, top, right, bottom] : areas) {
        const platform::ConstPixelView area = target.ReadArea({left, top, right, bottom});
        for (int32_t v = std::max(top, 0); v < std::min(bottom, th); ++v) {
          for (int32_t u = std::max(left, 0); u < std::min(right, tw); ++u) {
            ASSERT_EQ(area.at(u, v), expected.at(u, v)) << "at " << u << "," << v;
          }
        }
      }
      EXPECT_EQ(FirstDifference(target, expected), "");
    }
  }
}

// One picture read by many pending draws at once: they all stay pending, and however the
// source then changes, or a reader goes away first, each target shows the source as it
// was drawn.
TEST(DeferredDraw, ManyReadersOfOneSourceEachShowItAsItWas) {
  const Prepared prepared(DrawCase{57, 31, 30, false});
  const auto& [original, tw, th, map] = prepared;
  const std::vector<Deferral> kinds = Deferrals(map);
  for (const int readers : {2, 4, 7, 40}) {
    for (const bool drop_one : {false, true}) {
      SCOPED_TRACE(std::to_string(readers) + " readers" + (drop_one ? ", one dropped" : ""));
      Bitmap source = original;
      std::vector<std::unique_ptr<Bitmap>> targets;
      std::vector<Bitmap> expected;
      for (int i = 0; i < readers; ++i) {
        const Deferral& kind = kinds[static_cast<size_t>(i) % kinds.size()];
        expected.emplace_back(tw, th, kBack);
        kind.eager(expected.back(), original);
        targets.push_back(std::make_unique<Bitmap>(tw, th, 0));
        targets.back()->Fill(kBack);
        ASSERT_TRUE(kind.defer(*targets.back(), source));
      }
      int pending = 0;
      for (const auto& target : targets) pending += target->HasPendingDraw() ? 1 : 0;
      EXPECT_EQ(pending, readers);
      if (drop_one) targets[1].reset();
      source.Fill(0xFF00FF00);
      for (size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i]) continue;
        EXPECT_FALSE(targets[i]->HasPendingDraw()) << "target " << i;
        EXPECT_EQ(FirstDifference(*targets[i], expected[i]), "") << "target " << i;
      }
    }
  }
}

// Copies written over a pending draw, as the edge repair writes its squares over the
// turned picture: each area is worked out before it is written, the draw stays pending
// for the rest, and however the draw is then finished the copies stay where they landed.
TEST(DeferredDraw, AreasWrittenOverAPendingDrawStay) {
  const Prepared prepared(DrawCase{300, 170, 30, false});
  const auto& [source, tw, th, map] = prepared;
  const Bitmap patches = Photo(tw, th, 7);
  std::mt19937 random(41);
  std::vector<platform::PixelRect> squares;
  for (int i = 0; i < 400; ++i) {
    const int32_t x = std::uniform_int_distribution<int>(-3, tw)(random);
    const int32_t y = std::uniform_int_distribution<int>(-3, th)(random);
    const int32_t side = std::uniform_int_distribution<int>(1, 5)(random);
    squares.push_back({x, y, x + side, y + side});
  }
  const struct {
    const char* name;
    void (*finish)(Bitmap& target, Bitmap& source);
  } finishes[] = {
      {"read whole", [](Bitmap& t, Bitmap&) { (void)t.Read(); }},
      {"written whole", [](Bitmap& t, Bitmap&) { (void)t.Write(); }},
      {"its source changed", [](Bitmap&, Bitmap& s) { s.Fill(0xFF00FF00); }},
      {"read in halves",
       [](Bitmap& t, Bitmap&) {
         (void)t.ReadArea({0, 0, t.width() / 2, t.height()});
         (void)t.Read();
       }},
  };
  // The picture turned, and a map that collapses the plane, so that the draw itself
  // leaves the clear to be carried out.
  for (const Affine& drawn : {map, Affine{0, 0, 0, 0, 3, 3}}) {
    Bitmap expected(tw, th, kBack);
    platform::DrawTransformedPixels(expected, source, drawn);
    for (const auto& q : squares) {
      platform::ReferenceBitBltPixels(expected, q.left, q.top, q.right - q.left, q.bottom - q.top,
                                      patches, q.left, q.top);
    }
    for (const auto& finish : finishes) {
      for (const bool batched : {false, true}) {
        SCOPED_TRACE(std::string(finish.name) + (batched ? ", areas readied at once" : "") +
                     (drawn.a == 0 ? ", nothing drawn" : ""));
        Bitmap picture = source;
        Bitmap target(tw, th, 0);
        target.Fill(kBack);
        ASSERT_TRUE(target.DeferDraw(picture, drawn));
        if (batched) target.PrepareAreas(squares);
        for (const auto& q : squares) {
          platform::BitBltPixels(target, q.left, q.top, q.right - q.left, q.bottom - q.top, patches,
                                 q.left, q.top);
        }
        EXPECT_TRUE(target.HasPendingDraw());
        finish.finish(target, picture);
        EXPECT_FALSE(target.HasPendingDraw());
        EXPECT_EQ(FirstDifference(target, expected), "");
      }
    }
  }
}

TEST(DeferredDraw, OnlyAfterAClearAndAClearDropsIt) {
  const Bitmap source = Photo(20, 10);
  Bitmap drawn(30, 30, kBack);
  (void)drawn.Read();                                      // its fill worked out
  EXPECT_FALSE(drawn.DeferDraw(source, Turn(30, 10, 0)));  // nothing pending: draw now
  EXPECT_FALSE(drawn.DeferDraw(drawn, Turn(30, 10, 0)));   // onto itself: never
  drawn.Fill(kBack);
  ASSERT_TRUE(drawn.DeferDraw(source, Turn(30, 10, 0)));
  drawn.Fill(0xFF000000);
  EXPECT_FALSE(drawn.HasPendingDraw());
  EXPECT_EQ(FirstDifference(drawn, Bitmap(30, 30, 0xFF000000)), "");
  // A copy takes the finished pixels and leaves the original's draw alone.
  drawn.Fill(kBack);
  ASSERT_TRUE(drawn.DeferDraw(source, Turn(30, 10, 0)));
  const Bitmap copy = drawn;
  Bitmap expected(30, 30, kBack);
  platform::DrawTransformedPixels(expected, source, Turn(30, 10, 0));
  EXPECT_EQ(FirstDifference(copy, expected), "");
}

// Random small squares over a tw x th bitmap, some partly off it, as the edge repair asks.
std::vector<platform::PixelRect> Squares(int32_t tw, int32_t th, int count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<platform::PixelRect> squares;
  for (int i = 0; i < count; ++i) {
    const int32_t x = std::uniform_int_distribution<int>(-3, tw)(random);
    const int32_t y = std::uniform_int_distribution<int>(-3, th)(random);
    const int32_t side = std::uniform_int_distribution<int>(1, 5)(random);
    squares.push_back({x, y, x + side, y + side});
  }
  return squares;
}

class FailingBand {
 public:
  explicit FailingBand(int n) { platform::FailBandForTesting(n); }
  ~FailingBand() { platform::FailBandForTesting(0); }
};

// A band that fails while a pending draw is worked out leaves the bitmap standing for the
// same pixels: blocks it did not finish are worked out by the next reader, and areas
// written over the draw stay as they were written.
TEST(DeferredDraw, ABandsFailureLeavesThePendingWorkWhole) {
  const Prepared prepared(DrawCase{700, 433, 30, false});  // big enough to go over the cores
  const auto& [source, tw, th, map] = prepared;
  Bitmap expected(tw, th, kBack);
  platform::DrawTransformedPixels(expected, source, map);
  const std::vector<platform::PixelRect> areas = Squares(tw, th, 3000, 43);
  for (const int failing : {1, 2, 7}) {
    SCOPED_TRACE("band " + std::to_string(failing) + " of the areas fails");
    Bitmap target(tw, th, 0);
    target.Fill(kBack);
    ASSERT_TRUE(target.DeferDraw(source, map));
    {
      FailingBand fail(failing);
      EXPECT_THROW(target.PrepareAreas(areas), std::runtime_error);
    }
    EXPECT_TRUE(target.HasPendingDraw());
    for (const platform::PixelRect& area : areas) {
      const platform::ConstPixelView pixels = target.ReadArea(area);
      for (int32_t v = std::max(area.top, 0); v < std::min(area.bottom, th); ++v) {
        for (int32_t u = std::max(area.left, 0); u < std::min(area.right, tw); ++u) {
          ASSERT_EQ(pixels.at(u, v), expected.at(u, v)) << "at " << u << "," << v;
        }
      }
    }
    EXPECT_EQ(FirstDifference(target, expected), "");
  }
}

// The whole of a pending draw failing half-way, after squares were copied over it: the
// squares stay, and the draw stays pending.
TEST(DeferredDraw, AFailedWholeDrawKeepsTheAreasWrittenOverIt) {
  const Prepared prepared(DrawCase{1200, 800, 30, false});  // bands on both cores
  const auto& [source, tw, th, map] = prepared;
  Bitmap patched(tw, th, kBack);
  platform::DrawTransformedPixels(patched, source, map);
  const Bitmap patches = Photo(tw, th, 9);
  Bitmap target(tw, th, 0);
  target.Fill(kBack);
  ASSERT_TRUE(target.DeferDraw(source, map));
  for (const platform::PixelRect& q : Squares(tw, th, 300, 47)) {
    const int32_t w = q.right - q.left, h = q.bottom - q.top;
    platform::ReferenceBitBltPixels(patched, q.left, q.top, w, h, patches, q.left, q.top);
    platform::BitBltPixels(target, q.left, q.top, w, h, patches, q.left, q.top);
  }
  {
    FailingBand fail(4);  // after some bands have drawn
    EXPECT_THROW((void)target.Read(), std::runtime_error);
  }
  EXPECT_TRUE(target.HasPendingDraw());
  EXPECT_EQ(FirstDifference(target, patched), "");
}

}  // namespace
