// The evaluator and the images it works out: any area of a chain of images holds the
// pixels of the whole; an image keeps its pixels whatever becomes of what it was made
// from; nothing is worked out before it is asked for; the reduced view is the same whether
// or not the image was worked out, and shows what was pasted over a draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/pixels/drawing.h"
#include "platform/pixels/evaluator.h"
#include "platform/pixels/image_nodes.h"
#include "platform/pixels/parallel.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Affine;
using platform::Bitmap;
using platform::Image;
using platform::PixelRect;
using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::Turn;

constexpr uint32_t kBack = 0xFF204060;

// `area` of `image` worked out alone, compared with `whole` where it lies.
testing::AssertionResult AreaMatches(const Image& image, PixelRect area, const Bitmap& whole) {
  const int32_t w = area.right - area.left, h = area.bottom - area.top;
  std::vector<uint32_t> room(static_cast<size_t>(w) * h, 0xDEADBEEF);
  platform::RealizeArea(image, area, {room.data(), w, w, h});
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (room[static_cast<size_t>(y) * w + x] != whole.at(area.left + x, area.top + y)) {
        return testing::AssertionFailure()
               << "differs at " << area.left + x << "," << area.top + y;
      }
    }
  }
  return testing::AssertionSuccess();
}

// Chains of images as the drawing calls make them, each on a 57 x 31 photo into a target
// of 80 x 70, and the same drawn with the reference kernels, made at once.
struct Chain {
  const char* name;
  std::function<void(Bitmap& target, const Bitmap& source)> draw;
};

std::vector<Chain> Chains() {
  const Affine map = Turn(30, 20, 2);
  const platform::RowCopy mirror{60, 40, -1, -1, 0, 0, 57, 31};
  const platform::Point quarter[3] = {{31, 0}, {31, 57}, {0, 0}};
  return {
      {"a draw over a clear", [=](Bitmap& t, const Bitmap& s) {
         platform::DrawTransformedPixels(t, s, map);
       }},
      {"a mirror", [=](Bitmap& t, const Bitmap& s) { platform::CopyRows(t, s, mirror); }},
      {"a quarter turn", [=](Bitmap& t, const Bitmap& s) {
         platform::PlgBltPixels(t, quarter, s, 0, 0, 57, 31);
       }},
      {"a draw from a mirror, squares pasted from a second draw",
       [=](Bitmap& t, const Bitmap& s) {
         Bitmap middle(80, 70, kBack), other(80, 70, 0xFF000000);
         platform::CopyRows(middle, s, mirror);
         platform::DrawTransformedPixels(t, middle, map);
         platform::DrawTransformedPixels(other, s, Turn(-20, 5, 30));
         for (int32_t i = 0; i < 60; i += 2) {
           platform::BitBltPixels(t, i, i / 2, 3, 3, other, i, i / 2);
         }
       }},
      {"a picture composited over a draw, then copied onto itself",
       [=](Bitmap& t, const Bitmap& s) {
         platform::DrawTransformedPixels(t, s, map);
         platform::CompositePixels(t, testing_support::Translucent(30, 20), 7, -3);
         platform::BitBltPixels(t, 10, 12, 40, 30, t, 0, 0);
       }},
      {"a larger target cut down, the kept part drawn over", [=](Bitmap& t, const Bitmap& s) {
         platform::DrawTransformedPixels(t, s, map);
         t.Resize(50, 90, 0xFF00FF00, "test");
         platform::DrawTransformedPixels(t, s, Turn(200, 40, 60));
       }},
  };
}

TEST(Evaluator, AnyAreaOfAChainHoldsThePixelsOfTheWhole) {
  const Bitmap source = Photo(57, 31, 3);
  std::mt19937 random(11);
  for (const Chain& chain : Chains()) {
    SCOPED_TRACE(chain.name);
    Bitmap target(80, 70, kBack);
    chain.draw(target, source);
    // The whole, worked out by the evaluator.
    Bitmap whole = target;
    (void)whole.Read();
    for (int i = 0; i < 60; ++i) {
      const int32_t x = std::uniform_int_distribution<int>(0, whole.width() - 1)(random);
      const int32_t y = std::uniform_int_distribution<int>(0, whole.height() - 1)(random);
      const int32_t side = std::uniform_int_distribution<int>(1, 9)(random);
      const PixelRect area{x, y, std::min(x + side, whole.width()),
                           std::min(y + side, whole.height())};
      ASSERT_TRUE(AreaMatches(target.image(), area, whole)) << "area " << i;
    }
    // Strips, in order and side by side a few rows at a time, give the same rows.
    Bitmap in_order(whole.width(), whole.height(), 0), by_rows(whole.width(), whole.height(), 0);
    const platform::PixelView a = in_order.Write(), b = by_rows.Write();
    platform::RealizeStrips(target.image(), target.image()->Bounds(), 7,
                            [&](int32_t top, platform::ConstPixelView strip) {
                              for (int32_t y = 0; y < strip.height; ++y) {
                                std::copy_n(strip.row(y), strip.width, a.row(top + y));
                              }
                            });
    platform::RealizeStripsByRows(
        target.image(), target.image()->Bounds(), 7,
        [&](int32_t top, int32_t height, const platform::StripRows& rows) {
          for (int32_t y = 0; y < height; y += 3) {
            const platform::ConstPixelView some = rows(y, std::min(3, height - y));
            for (int32_t k = 0; k < some.height; ++k) {
              std::copy_n(some.row(k), some.width, b.row(top + y + k));
            }
          }
        });
    EXPECT_EQ(FirstDifference(in_order, whole), "");
    EXPECT_EQ(FirstDifference(by_rows, whole), "");
  }
}

// A chain made again with its picture replaced is the chain made on the other picture:
// what the coverage of a turn is made from.
TEST(Evaluator, AChainWithItsPictureReplacedIsTheChainMadeOnTheOther) {
  const Bitmap photo = Photo(57, 31, 3), white(57, 31, 0xFFFFFFFF);
  for (const Chain& chain : Chains()) {
    SCOPED_TRACE(chain.name);
    Bitmap on_photo(80, 70, kBack), on_white(80, 70, kBack);
    chain.draw(on_photo, photo);
    chain.draw(on_white, white);
    const Bitmap replaced(platform::Replaced(on_photo.image(), {photo.image().get()},
                                             {platform::SolidImage(57, 31, 0xFFFFFFFF)}));
    EXPECT_EQ(FirstDifference(replaced, on_white), "");
    EXPECT_NE(FirstDifference(on_photo, on_white), "");  // the photo itself is untouched
  }
}

// The drawing calls made with the reference kernels on stored pixels, against the same
// calls made as images and worked out: right angles and block copies exactly.
TEST(Evaluator, ExactCallsEqualTheReferenceDrawnAtOnce) {
  const Bitmap source = testing_support::Numbered(57, 31);
  const platform::Point quarter[3] = {{31, 0}, {31, 57}, {0, 0}};
  const platform::Point half[3] = {{56, 30}, {-1, 30}, {56, -1}};
  Bitmap fast(80, 70, kBack), reference(80, 70, kBack);
  for (Bitmap* target : {&fast, &reference}) {
    const bool slow = target == &reference;
    const auto plg = slow ? platform::ReferencePlgBltPixels : platform::PlgBltPixels;
    const auto blt = slow ? platform::ReferenceBitBltPixels : platform::BitBltPixels;
    plg(*target, quarter, source, 0, 0, 57, 31);
    plg(*target, half, source, 3, 2, 50, 20);
    blt(*target, 5, 5, 20, 20, *target, 0, 0);  // onto itself, overlapping
    blt(*target, -4, 60, 30, 30, source, 10, 10);
  }
  EXPECT_EQ(FirstDifference(fast, reference), "");
}

// A reader made from a source shows the source as it was, whatever the source does next.
TEST(Evaluator, ASourceChangedAfterAReaderWasMadeLeavesTheReadersPixels) {
  const Bitmap original = Photo(40, 30, 5);
  const Affine map = Turn(30, 18, 1);
  Bitmap expected(60, 50, kBack);
  platform::DrawTransformedPixels(expected, original, map);
  (void)expected.Read();
  const struct {
    const char* name;
    void (*change)(std::unique_ptr<Bitmap>& source);
  } changes[] = {
      {"written", [](std::unique_ptr<Bitmap>& s) { testing_support::Put(*s, 4, 3, 0xFFFFFFFF); }},
      {"cleared", [](std::unique_ptr<Bitmap>& s) { s->Fill(0xFF00FF00); }},
      {"resized", [](std::unique_ptr<Bitmap>& s) { s->Resize(5, 5, 0xFF00FF00, "source"); }},
      {"assigned", [](std::unique_ptr<Bitmap>& s) { *s = Bitmap(9, 9, 0xFFFF0000); }},
      {"destroyed", [](std::unique_ptr<Bitmap>& s) { s.reset(); }},
      {"drawn over", [](std::unique_ptr<Bitmap>& s) {
         platform::DrawTransformedPixels(*s, Bitmap(4, 4, 0xFFFFFFFF), Affine{});
       }},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.name);
    // Several readers of one source, one of them reading through another.
    auto source = std::make_unique<Bitmap>(original);
    (void)source->Write();  // pixels of its own, written in place below
    Bitmap first(60, 50, kBack), second(60, 50, kBack), through(60, 50, kBack);
    platform::DrawTransformedPixels(first, *source, map);
    platform::DrawTransformedPixels(second, *source, map);
    platform::BitBltPixels(through, 0, 0, 60, 50, second, 0, 0);
    c.change(source);
    EXPECT_EQ(FirstDifference(first, expected), "");
    EXPECT_EQ(FirstDifference(second, expected), "");
    EXPECT_EQ(FirstDifference(through, expected), "");
  }
}

// The edge repair's images: nothing is worked out while they are made, an area asked for
// costs about the area, and the whole is worked out once and then kept.
TEST(Evaluator, NothingIsWorkedOutUntilItIsAskedFor) {
  const Bitmap source = Photo(300, 200, 9);
  Bitmap des(400, 400, 0xFF000000), p180(300, 200, 0xFF000000), tm(400, 400, 0xFF000000);
  const uint64_t start = platform::PixelsGenerated();
  platform::DrawTransformedPixels(des, source, Turn(30, 100, 0));
  const platform::Point half[3] = {{299, 199}, {-1, 199}, {299, -1}};
  platform::PlgBltPixels(p180, half, source, 0, 0, 300, 200);
  platform::DrawTransformedPixels(tm, p180, Turn(210, 360, 270));
  for (int32_t j = 0; j < 300; ++j) platform::BitBltPixels(des, 99 + j, j / 2, 3, 3, tm, 99 + j, j / 2);
  EXPECT_EQ(platform::PixelsGenerated(), start);
  // The 300 copies are one paste over the draw.
  const auto* paste = dynamic_cast<const platform::PastedNode*>(des.image().get());
  ASSERT_NE(paste, nullptr);
  EXPECT_EQ(paste->Rects().size(), 300u);
  EXPECT_NE(dynamic_cast<const platform::DrawnNode*>(paste->base().get()), nullptr);
  p180.Fill(0xFF000000);               // the work surfaces cleared: nothing carried out
  tm.Fill(0xFF000000);
  EXPECT_EQ(platform::PixelsGenerated(), start);

  std::vector<uint32_t> room(20 * 20);
  platform::RealizeArea(des.image(), {150, 10, 170, 30}, {room.data(), 20, 20, 20});
  const uint64_t area_cost = platform::PixelsGenerated() - start;
  EXPECT_GT(area_cost, 0u);
  EXPECT_LT(area_cost, 20u * 20u * 4u);  // the area, and the few pixels of pTM it reads
  EXPECT_FALSE(platform::Current(des.image()).has_value());

  (void)des.Read();
  const uint64_t whole_cost = platform::PixelsGenerated() - start - area_cost;
  EXPECT_GE(whole_cost, 400u * 400u);
  EXPECT_TRUE(platform::Current(des.image()).has_value());
  (void)des.Read();
  EXPECT_EQ(platform::PixelsGenerated() - start - area_cost, whole_cost);  // kept
}

TEST(Evaluator, ABandsFailureLeavesTheImageAsItWas) {
  const Bitmap source = Photo(640, 480, 2);
  Bitmap expected(900, 900, kBack), target(900, 900, kBack);
  platform::DrawTransformedPixels(expected, source, Turn(30, 250, 0));
  (void)expected.Read();
  platform::DrawTransformedPixels(target, source, Turn(30, 250, 0));
  platform::FailBandForTesting(1);
  EXPECT_THROW((void)target.Read(), std::runtime_error);
  platform::FailBandForTesting(0);
  EXPECT_FALSE(platform::Current(target.image()).has_value());
  EXPECT_EQ(FirstDifference(target, expected), "");
}

// Turned by right angles again and again without a clear, a surface's image would keep
// every image before it: past a depth it is stored instead.
TEST(Evaluator, ImagesMadeOverThemselvesStayShallow) {
  const Bitmap source = testing_support::Numbered(21, 13);
  Bitmap target(22, 14, kBack);
  // A mirror and a copy, each a pixel short of the target, in turn.
  const platform::Point half[3] = {{19, 12}, {-2, 12}, {19, -1}};
  const platform::Point shifted[3] = {{1, 1}, {22, 1}, {1, 14}};
  Bitmap reference(22, 14, kBack);
  for (int i = 0; i < 100; ++i) {
    const platform::Point* corners = i % 2 == 0 ? half : shifted;
    platform::PlgBltPixels(target, corners, source, 0, 0, 21, 13);
    platform::ReferencePlgBltPixels(reference, corners, source, 0, 0, 21, 13);
    ASSERT_LE(target.image()->Depth(), 13);
  }
  EXPECT_EQ(FirstDifference(target, reference), "");
  // The same call again over itself changes nothing and adds nothing.
  const Image before = target.image();
  platform::PlgBltPixels(target, shifted, source, 0, 0, 21, 13);
  EXPECT_EQ(target.image(), before);
}

// A turned picture with squares pasted along its edge, shown reduced.
struct Repaired {
  Bitmap des;
  Bitmap squares_source;
};

Repaired RepairedTurn(const Bitmap& source) {
  Repaired r{Bitmap(700, 600, 0xFF000000), Bitmap(700, 600, 0xFFFFFFFF)};
  platform::DrawTransformedPixels(r.des, source, Turn(30, 250, 0));
  // White squares along a line, as the edge repair pastes them (white to see them).
  for (int32_t j = 0; j < 400; ++j) {
    platform::BitBltPixels(r.des, 250 + j, j / 2, 5, 5, r.squares_source, 250 + j, j / 2);
  }
  return r;
}

TEST(Evaluator, TheFitViewOfAPendingPictureEqualsTheFitViewOfTheSameWorkedOut) {
  const Bitmap source = Photo(480, 360, 4);
  for (const double scale : {0.5, 0.3, 0.12}) {
    SCOPED_TRACE(scale);
    const Repaired r = RepairedTurn(source);
    const auto side = [scale](int32_t s) { return static_cast<int32_t>(std::ceil(scale * s)); };
    Bitmap pending(side(700), side(600), 0), worked_out(side(700), side(600), 0);
    platform::RealizeReduced(r.des.image(), scale, pending.WriteAll().pixels);
    EXPECT_FALSE(platform::Current(r.des.image()).has_value());  // presentation only
    (void)r.des.Read();
    platform::RealizeReduced(r.des.image(), scale, worked_out.WriteAll().pixels);
    EXPECT_EQ(FirstDifference(pending, worked_out), "");
    // The squares are in it: along their line the view is white, where the draw alone
    // shows the photo.
    Bitmap draw_only(side(700), side(600), 0);
    Bitmap unrepaired(700, 600, 0xFF000000);
    platform::DrawTransformedPixels(unrepaired, source, Turn(30, 250, 0));
    platform::RealizeReduced(unrepaired.image(), scale, draw_only.WriteAll().pixels);
    const auto x = static_cast<int32_t>(scale * 454), y = static_cast<int32_t>(scale * 103);
    EXPECT_GT(pending.at(x, y) & 0xFF, (draw_only.at(x, y) & 0xFF) + 20) << x << "," << y;
  }
}

}  // namespace
