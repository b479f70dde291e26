// The level suggestion on the corpus of pictures whose level is known, and the L key.
#include <gtest/gtest.h>

#include <QImage>
#include <QToolTip>
#include <cmath>

#include "app/angle_tenths.h"
#include "app/frm_main.h"
#include "app/level_key.h"
#include "tests/support/test_support.h"
#include "tools/level_corpus.h"

namespace {

using testing_support::FirstDifference;

platform::Bitmap FromImage(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  platform::Bitmap bitmap(argb.width(), argb.height(), 0);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) testing_support::Put(bitmap, x, y, row[x]);
  }
  return bitmap;
}

int LevelOf(double tilt) {
  return ((static_cast<int>(std::lround(tilt)) % 360) + 360) % 360;
}

bool Near(int a, int b) {
  const int d = std::abs(a - b) % 360;
  return std::min(d, 360 - d) <= 1;
}

TEST(LevelCorpus, MeetsItsGoals) {
  int tilted = 0, levels = 0, tilts = 0, plain = 0, silent = 0;
  for (const level_corpus::Sample& sample : level_corpus::Make()) {
    const platform::LevelSuggestion s = platform::SuggestLevel(FromImage(sample.image).Read());
    if (sample.tilt) {
      ++tilted;
      const bool level = s.level && Near(*s.level, LevelOf(*sample.tilt));
      const bool tilt = std::abs(s.tilt - *sample.tilt) <= 0.5;
      levels += level;
      tilts += tilt;
      if (!level || !tilt) std::printf("%s: %.2f\n", sample.name.c_str(), s.tilt);
    } else {
      ++plain;
      silent += !s.level;
      if (s.level) std::printf("%s: suggested %d\n", sample.name.c_str(), *s.level);
    }
  }
  ASSERT_GT(tilted, 30);
  ASSERT_GT(plain, 5);
  EXPECT_GE(levels * 100, tilted * 95) << levels << " of " << tilted;
  EXPECT_GE(tilts * 100, tilted * 90) << tilts << " of " << tilted;
  EXPECT_EQ(silent, plain);
}

// A building tilted 4.9 degrees clockwise, and foliage.
const level_corpus::Sample& Sample(const std::string& name) {
  static const std::vector<level_corpus::Sample> corpus = level_corpus::Make();
  for (const auto& sample : corpus) {
    if (sample.name == name) return sample;
  }
  throw std::logic_error("no sample " + name);
}

std::string Written(const std::string& name) {
  return testing_support::WritePicture(FromImage(Sample(name).image), name + ".png");
}

TEST(LevelKey, TurnsByTheSuggestionToATenth) {
  const std::string path = Written("building-+4.9");
  app::frm_Main form(path);
  form.Form_Load();
  app::LevelKey key(form);
  key.Level();
  const int tenths = app::LevelTenths(key.Suggestion().tilt);
  EXPECT_EQ(tenths, static_cast<int>(std::lround(10 * (360 + key.Suggestion().tilt))));
  EXPECT_NEAR(tenths, 3551, 2);  // the building is tilted by 4.9 degrees
  EXPECT_EQ(form.Tenths(), tenths);
  EXPECT_EQ(form.hsTurn.Value(), app::NearestDegree(tenths));
  EXPECT_EQ(form.lblAngle.Caption(), app::AngleText(tenths));
  EXPECT_EQ(form.Handlings(), 1);
  app::frm_Main fresh(path);
  fresh.Form_Load();
  fresh.SetTenths(tenths);
  EXPECT_EQ(FirstDifference(form.pDes.Pixels(), fresh.pDes.Pixels()), "");
  // Again at the same angle: turned again, as a key press would.
  key.Level();
  EXPECT_EQ(form.Handlings(), 2);
}

TEST(LevelKey, WithoutADominantLineNothingMoves) {
  app::frm_Main form(Written("foliage-1"));
  form.Form_Load();
  form.hsTurn.SetValue(20);
  app::LevelKey key(form);
  key.Level();
  EXPECT_EQ(form.hsTurn.Value(), 20);
  EXPECT_EQ(form.Handlings(), 1);
  EXPECT_FALSE(key.Suggestion().level.has_value());
  EXPECT_EQ(QToolTip::text(), platform::kNoLevelLine);
  EXPECT_FALSE(key.Suggestion().reason.empty());
}

TEST(LevelKey, EachOpenedPictureGetsItsOwnSuggestion) {
  app::frm_Main form(Written("foliage-2"));
  form.Form_Load();
  app::LevelKey key(form);
  EXPECT_FALSE(key.Suggestion().level.has_value());
  form.OpenPicture(Written("document--5.6"));
  ASSERT_TRUE(key.Suggestion().level.has_value());
  EXPECT_EQ(*key.Suggestion().level, 6);
  key.Level();
  EXPECT_EQ(form.lblAngle.Caption(), app::AngleText(app::LevelTenths(key.Suggestion().tilt)));
  EXPECT_NEAR(form.Tenths(), 56, 2);
}

}  // namespace
