#include <gtest/gtest.h>

#include "platform/base/error.h"
#include "platform/pixels/bitmap.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Bitmap;

constexpr uint32_t kFill = 0xFF123456;

// After a resize, the shared area keeps its pixels and the rest is the fill colour.
void ExpectResized(const Bitmap& before, const Bitmap& after) {
  for (int32_t y = 0; y < after.height(); ++y) {
    for (int32_t x = 0; x < after.width(); ++x) {
      const bool shared = x < before.width() && y < before.height();
      ASSERT_EQ(after.at(x, y), shared ? before.at(x, y) : kFill) << x << "," << y;
    }
  }
}

TEST(Bitmap, ResizeKeepsTheSharedAreaAndFillsTheRest) {
  const struct {
    int32_t w0, h0, w1, h1;
  } cases[] = {{5, 4, 9, 7}, {9, 7, 5, 4}, {5, 4, 3, 9}, {5, 4, 9, 2},
               {1, 1, 1, 1}, {6, 3, 0, 0}, {0, 0, 4, 4}, {7, 5, 7, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w0 << "x" << c.h0 << " -> " << c.w1 << "x" << c.h1);
    const Bitmap before = testing_support::Numbered(c.w0, c.h0);
    Bitmap after = before;
    after.Resize(c.w1, c.h1, kFill, "test");
    EXPECT_EQ(after.width(), c.w1);
    EXPECT_EQ(after.height(), c.h1);
    ExpectResized(before, after);
  }
}

// A bitmap is a value: a copy keeps its pixels whatever the original does next, and
// writing one copies the pixels only when another holds them.
TEST(Bitmap, CopiesAreValuesAndWritingCopiesOnlyWhatIsShared) {
  Bitmap original = testing_support::Numbered(30, 20);
  const Bitmap copy = original;
  EXPECT_EQ(copy.Read().pixels, original.Read().pixels);  // shared, not copied
  testing_support::Put(original, 3, 4, kFill);
  EXPECT_NE(copy.Read().pixels, original.Read().pixels);
  EXPECT_EQ(original.at(3, 4), kFill);
  EXPECT_EQ(copy.at(3, 4), testing_support::Numbered(30, 20).at(3, 4));
  const uint32_t* own = original.Read().pixels;
  testing_support::Put(original, 5, 6, kFill);  // held by nobody else: written in place
  EXPECT_EQ(original.Read().pixels, own);
}

// Too many bytes, or a side the drawing kernels' fixed point cannot hold even in few bytes.
TEST(Bitmap, RefusesASizeBeyondTheMachineOrTheKernelsBeforeAllocating) {
  const struct {
    int32_t width, height;
    const char* says;
  } cases[] = {{1 << 30, 1 << 30, "MB"},
               {Bitmap::kMaxSide, 1, "wider or taller"},
               {1, Bitmap::kMaxSide, "wider or taller"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    Bitmap bitmap(2, 2, kFill);
    try {
      bitmap.Resize(c.width, c.height, kFill, "pDes");
      FAIL() << "no error";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), platform::ErrorNumber::kOutOfMemory);
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_EQ(e.path(), "pDes");
    }
    EXPECT_EQ(bitmap.width(), 2);  // unchanged
  }
}

}  // namespace
