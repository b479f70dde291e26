// The level suggestion on pictures drawn here, whose lines' tilt is exact.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "platform/analysis/level.h"
#include "tests/support/pixels_support.h"

namespace {

using platform::Bitmap;

// Dark bars on light, `period` pixels apart, their lines turned clockwise by `degrees`
// (and, with `grid`, crossed by bars at right angles to them), antialiased by 4 x 4
// samples a pixel.
Bitmap Bars(int32_t width, int32_t height, double degrees, double period, bool grid) {
  const double a = degrees * std::numbers::pi / 180.0;
  const double s = std::sin(a), c = std::cos(a);
  Bitmap bars(width, height, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int dark = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
          const double across = py * c - px * s, along = px * c + py * s;
          const bool bar = std::fmod(std::abs(across), period) < period / 3;
          const bool post = grid && std::fmod(std::abs(along), period * 1.7) < period / 3;
          dark += bar || post;
        }
      }
      const auto v = static_cast<uint32_t>(230 - dark * 180 / 16);
      testing_support::Put(bars, x, y, 0xFF000000u | v << 16 | v << 8 | v);
    }
  }
  return bars;
}

TEST(SuggestLevel, FindsTheTurnThatLevelsTheLines) {
  const struct {
    double lines;  // the lines' clockwise tilt
    bool grid;
  } cases[] = {{3.0, false},   {-3.0, false}, {0.4, false}, {-7.3, true},  {11.6, true},
               {-11.9, false}, {0.0, true},   {5.3, true},  {-0.6, false}, {14.0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    const platform::LevelSuggestion s =
        platform::SuggestLevel(Bars(480, 360, c.lines, 24, c.grid).Read());
    EXPECT_NEAR(s.tilt, -c.lines, 0.3);
    ASSERT_TRUE(s.level.has_value());
    const int expected = ((static_cast<int>(std::lround(-c.lines)) % 360) + 360) % 360;
    EXPECT_EQ(*s.level, expected);
    EXPECT_GE(s.confidence, platform::kLevelConfidence);
  }
}

TEST(SuggestLevel, APictureTiltedClockwiseGetsAValueBelow360) {
  const platform::LevelSuggestion s = platform::SuggestLevel(Bars(400, 300, 3.0, 20, true).Read());
  ASSERT_TRUE(s.level.has_value());
  EXPECT_EQ(*s.level, 357);
}

TEST(SuggestLevel, NoDominantLineGivesNoSuggestion) {
  std::mt19937 random(7);
  Bitmap noise(400, 300, 0);
  for (int32_t y = 0; y < 300; ++y) {
    for (int32_t x = 0; x < 400; ++x) {
      const uint32_t v = random() & 0xFF;
      testing_support::Put(noise, x, y, 0xFF000000u | v << 16 | v << 8 | v);
    }
  }
  const struct {
    const char* what;
    Bitmap picture;
  } cases[] = {{"noise", noise},
               {"flat", Bitmap(400, 300, 0xFF808080u)},
               {"tiny", Bars(6, 6, 3, 2, false)},
               {"empty", Bitmap()}};
  for (const auto& c : cases) {
    const platform::LevelSuggestion s = platform::SuggestLevel(c.picture.Read());
    EXPECT_FALSE(s.level.has_value()) << c.what << " " << s.tilt << " " << s.confidence;
    EXPECT_LT(s.confidence, platform::kLevelConfidence) << c.what;
  }
}

// Tilts a hand makes (within about 15 degrees) are believed; steep ones, which could as well
// be diagonal lines of the scene, are not.
TEST(SuggestLevel, SteepLinesAreLessSure) {
  const platform::LevelSuggestion clear =
      platform::SuggestLevel(Bars(400, 400, 12, 24, false).Read());
  const platform::LevelSuggestion ambiguous =
      platform::SuggestLevel(Bars(400, 400, 44, 24, false).Read());
  EXPECT_GT(clear.confidence, 0.5);
  EXPECT_LT(ambiguous.confidence, clear.confidence / 2);
}

}  // namespace

namespace {

// A dark, quiet picture (a lake at dusk): a faint line four pixels wide (`contrast` grey levels) at
// `degrees` from x = `from` to x = `to`, and noise from the JPEG and the sensor.
Bitmap Dusk(double degrees, int32_t from, int32_t to, int contrast) {
  const double a = degrees * std::numbers::pi / 180.0;
  std::mt19937 random(3);
  std::uniform_int_distribution<int> noise(-2, 2);
  Bitmap dusk(1000, 625, 0);
  for (int32_t y = 0; y < 625; ++y) {
    for (int32_t x = 0; x < 1000; ++x) {
      int v = 60 - 25 * y / 625;  // the sky darkening into the water, without an edge
      if (x >= from && x <= to) {
        const double across = (y - 380.0) * std::cos(a) - (x - 500.0) * std::sin(a);
        v += std::abs(across) < 2 ? contrast : 0;
      }
      const auto g = static_cast<uint32_t>(std::clamp(v + noise(random), 0, 255));
      testing_support::Put(dusk, x, y, 0xFF000000u | g << 16 | g << 8 | g);
    }
  }
  return dusk;
}

// Dark strokes at every direction over light (bristles, grass, branches), with three
// parallel ones at `degrees` in one corner among them.
Bitmap Bristles(double degrees) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> along(0, 1);
  Bitmap field(800, 600, 0xFFD0D0D0u);
  const auto stroke = [&](double x, double y, double angle, double length) {
    const double dx = std::cos(angle), dy = std::sin(angle);
    for (double t = 0; t < length; t += 0.5) {
      for (int w = -1; w <= 1; ++w) {
        const auto px = static_cast<int32_t>(x + t * dx - w * dy),
                   py = static_cast<int32_t>(y + t * dy + w * dx);
        if (px >= 0 && py >= 0 && px < 800 && py < 600)
          testing_support::Put(field, px, py, 0xFF303030u);
      }
    }
  };
  for (int i = 0; i < 150; ++i) {
    stroke(800 * along(random), 600 * along(random), std::numbers::pi * along(random),
           40 + 60 * along(random));
  }
  const double a = degrees * std::numbers::pi / 180.0;
  for (int i = 0; i < 3; ++i) stroke(60, 420 + 14.0 * i, a, 180);
  return field;
}

TEST(SuggestLevel, AFaintHorizonAloneIsFoundToAQuarterOfADegree) {
  const struct {
    double degrees;
    int32_t from, to;
  } cases[] = {{2.3, 340, 640}, {-4.6, 380, 660}, {0.4, 300, 560}, {7.1, 360, 620}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    const platform::LevelSuggestion s =
        platform::SuggestLevel(Dusk(c.degrees, c.from, c.to, 20).Read());
    ASSERT_TRUE(s.level.has_value()) << s.tilt << " " << s.confidence << " " << s.reason;
    EXPECT_NEAR(s.tilt, -c.degrees, 0.25);
  }
}

TEST(SuggestLevel, AFewParallelStrokesAmongManyAreChance) {
  for (const double degrees : {4.0, -2.5}) {
    const platform::LevelSuggestion s = platform::SuggestLevel(Bristles(degrees).Read());
    EXPECT_FALSE(s.level.has_value()) << degrees << ": " << s.tilt << " " << s.confidence;
  }
}

}  // namespace
