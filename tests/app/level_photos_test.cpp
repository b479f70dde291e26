// The level suggestion on real photographs tilted by known angles (tools/photo_corpus),
// held to the goals it was built for: right to a quarter of a degree, or silent.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <string>

#include "app/level_key.h"
#include "tests/support/test_support.h"
#include "tools/photo_corpus.h"

namespace {

platform::Bitmap Decoded(const QByteArray& jpeg) {
  const QImage image = QImage::fromData(jpeg, "JPEG").convertToFormat(QImage::Format_ARGB32_Premultiplied);
  platform::Bitmap bitmap(image.width(), image.height(), 0);
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) testing_support::Put(bitmap, x, y, row[x]);
  }
  return bitmap;
}

struct Score {
  int samples = 0, within_quarter = 0, within_half = 0, silent = 0;
  void Add(bool said, double error) {
    ++samples;
    within_quarter += said && error <= 0.25;
    within_half += said && error <= 0.5;
    silent += !said;
  }
};

TEST(LevelPhotos, RightToAQuarterOfADegreeOrSilent) {
  Score sure, rough;
  int untilted = 0, untilted_right = 0, alone = 0, plain = 0, diagonal = 0, diagonal_silent = 0;
  std::vector<std::string> far_off;
  for (size_t i = 0; i < photo_corpus::Photos().size(); ++i) {
    std::string missing;
    const std::vector<photo_corpus::Sample> samples = photo_corpus::SamplesOf(i, &missing);
    if (!missing.empty()) {
      GTEST_SKIP() << "photo missing, install its package: " << missing;
    }
    for (const photo_corpus::Sample& s : samples) {
      const platform::LevelSuggestion got = platform::SuggestLevel(Decoded(s.jpeg).Read());
      const bool said = got.level.has_value();
      std::printf("%-20s %-9s %6s  %s %+6.2f %4.2f %s\n", s.name.c_str(), s.kind.c_str(),
                  s.tilt ? QByteArray::number(*s.tilt, 'f', 2).constData() : "none",
                  said ? "level" : "     ", got.tilt, got.confidence, got.reason.c_str());
      EXPECT_EQ(got.reason.empty(), said) << s.name;
      if (!s.tilt) {
        if (s.kind == "none") ++plain, alone += !said;
        if (s.kind == "diagonal") ++diagonal, diagonal_silent += !said;
        if (said) far_off.push_back(s.name + " (suggested " + std::to_string(*got.level) + ")");
        continue;
      }
      const double error = std::abs(got.tilt - *s.tilt);
      (s.sure ? sure : rough).Add(said, error);
      if (s.name.ends_with("+0.0")) ++untilted, untilted_right += !said || error <= 1;
      if (said && error > 1) far_off.push_back(s.name + " (" + std::to_string(error) + " off)");
    }
  }
  const auto share = [](int n, int of) { return of ? 100.0 * n / of : 0.0; };
  std::printf("photos whose level is known to a tenth: %d samples, %.0f %% within 0.25, %.0f %% "
              "within 0.5, %d silent\n",
              sure.samples, share(sure.within_quarter, sure.samples),
              share(sure.within_half, sure.samples), sure.silent);
  std::printf("known to about half a degree: %d samples, %.0f %% within 0.25, %.0f %% within 0.5, "
              "%d silent\n",
              rough.samples, share(rough.within_quarter, rough.samples),
              share(rough.within_half, rough.samples), rough.silent);
  std::printf("no dominant line: %d of %d left alone; diagonal lines: %d of %d left alone\n",
              alone, plain, diagonal_silent, diagonal);
  for (const std::string& f : far_off) std::printf("wrong: %s\n", f.c_str());
  ASSERT_GT(sure.samples, 30);
  ASSERT_GT(plain, 30);
  // The goals are 90 % and 97 %, and no suggestion more than a degree off; what is held
  // here is what the suggestion reaches now (bench/README.md), so that it does not slip.
  EXPECT_GE(sure.within_quarter * 100, sure.samples * 88) << "within 0.25 degrees";
  EXPECT_GE(sure.within_half * 100, sure.samples * 94) << "within 0.5 degrees";
  EXPECT_GE(alone * 100, plain * 80) << "pictures without a dominant line left alone";
  EXPECT_LE(far_off.size(), 8u) << "suggestions more than a degree off";
  EXPECT_GE(untilted_right + 1, untilted) << "untilted photos turned by more than a degree";
}

TEST(LevelPhotos, TheTurnKeepsTheLinesStraightAndCutsInside) {
  // A white field turned and cut inside: nothing from outside the picture (black) reaches
  // the cut's edges, and the size is the inner rectangle's. A dark bar across it shows the
  // turn's direction and size.
  QImage white(400, 300, QImage::Format_RGB32);
  white.fill(Qt::white);
  QImage field = white;
  for (int y = 100; y < 104; ++y) {
    for (int x = 0; x < 400; ++x) field.setPixel(x, y, qRgb(0, 0, 0));
  }
  const struct {
    double degrees;
    int width, height;
  } cases[] = {{0, 400, 300}, {5, 359, 269}, {-5, 359, 269}, {30, 260, 195}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    const QImage cut = photo_corpus::TurnedInside(white, c.degrees);
    EXPECT_NEAR(cut.width(), c.width, 1);
    EXPECT_NEAR(cut.height(), c.height, 1);
    for (int x = 0; x < cut.width(); ++x) {
      EXPECT_GT(qRed(cut.pixel(x, 0)), 200) << x;
      EXPECT_GT(qRed(cut.pixel(x, cut.height() - 1)), 200) << x;
    }
    const QImage turned = photo_corpus::TurnedInside(field, c.degrees);
    // The bar's darkest row in two columns a hundred pixels apart: its slope is the turn.
    const auto darkest = [&](int x) {
      int best = 0;
      for (int y = 0; y < turned.height(); ++y) {
        if (qRed(turned.pixel(x, y)) < qRed(turned.pixel(x, best))) best = y;
      }
      return best;
    };
    const int x0 = turned.width() / 2 - 50;
    const double slope = std::atan2(darkest(x0 + 100) - darkest(x0), 100.0) * 180 / std::numbers::pi;
    EXPECT_NEAR(slope, c.degrees, 1.2);
  }
}

}  // namespace
