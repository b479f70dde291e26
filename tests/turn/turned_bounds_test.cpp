#include <gtest/gtest.h>

#include "platform/base/error.h"
#include "turn/mod_turn.h"

namespace {

struct BoundsCase {
  float angle;
  int32_t width, height;
  int32_t boundW, boundH, centreX, centreY;
};

TEST(TurnedBounds, WorkedCases) {
  const BoundsCase cases[] = {
      {30, 200, 100, 223, 187, 61, 93},  // corner 2 at (173, 100): 200·sin is 99.9999985
      {2, 200, 100, 203, 107, 98, 53},   // corner 4 built on the rounded corner 3
      {0, 200, 100, 200, 100, 100, 50},
      {90, 200, 100, 100, 200, -50, 100},
      {135, 200, 100, 212, 212, -106, 35},
      {180, 200, 100, 200, 100, -100, -50},
      {30, 1, 1, 1, 1, 0, 0},
      {30, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int32_t w = -7, h = -7, x = -7, y = -7;
    mod_Turn::TurnedBounds(c.angle, c.width, c.height, w, h, x, y);
    EXPECT_EQ(w, c.boundW) << c.width << "x" << c.height << " at " << c.angle;
    EXPECT_EQ(h, c.boundH) << c.width << "x" << c.height << " at " << c.angle;
    EXPECT_EQ(x, c.centreX) << c.width << "x" << c.height << " at " << c.angle;
    EXPECT_EQ(y, c.centreY) << c.width << "x" << c.height << " at " << c.angle;
  }
}

TEST(TurnedBounds, ACornerOutsideTheRangeRaisesOverflow) {
  int32_t w = 0, h = 0, x = 0, y = 0;
  EXPECT_THROW(mod_Turn::TurnedBounds(45, 2000000000, 2000000000, w, h, x, y), platform::Error);
  EXPECT_THROW(mod_Turn::TurnedBounds(std::numeric_limits<float>::quiet_NaN(), 1, 1, w, h, x, y),
               platform::Error);
}

}  // namespace
