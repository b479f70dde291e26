// AnyAngleTurn through the real calls: the squares it copies (from the call trace), its
// margins, narrow pictures, and the work surfaces it leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "platform/gdi/mod_gdiplus.h"
#include "tests/support/test_support.h"
#include "turn/mod_turn.h"

namespace {

using platform::Bitmap;
using testing_support::Photo;
using testing_support::RecordingTracer;

struct Square {
  int32_t x, y, side;
  friend bool operator==(const Square&, const Square&) = default;
};

std::ostream& operator<<(std::ostream& out, const Square& s) {
  return out << "(" << s.x << "," << s.y << " side " << s.side << ")";
}

std::vector<Square> Squares(const RecordingTracer& tracer) {
  static const std::regex pattern(
      R"(\{"call":"BitBlt","dst":"pDes","src":"pTM","rect":\[(-?\d+),(-?\d+),(\d+),(\d+)\],"srcPos":\[(-?\d+),(-?\d+)\],"rop":13369376\})");
  std::vector<Square> squares;
  for (const auto& line : tracer.Calls("BitBlt")) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, pattern)) << line;
    EXPECT_EQ(m[1], m[5]);
    EXPECT_EQ(m[2], m[6]);
    EXPECT_EQ(m[3], m[4]);
    squares.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])});
  }
  return squares;
}

struct EdgeExample {
  float angle;
  size_t top, left;  // squares on each edge
  Square top_first, top_second, top_last, left_first, left_second, left_last;
};

TEST(AnyAngleTurn, ExamplesAAndB) {
  const EdgeExample examples[] = {
      {30, 198, 98, {49, -2, 3}, {50, -1, 3}, {219, 97, 3}, {48, -1, 3}, {47, 0, 3}, {-1, 83, 3}},
      {88, 196, 96, {97, -1, 5}, {97, 0, 5}, {104, 194, 5}, {95, -3, 5}, {94, -3, 5}, {0, 0, 5}},
  };
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  for (const auto& e : examples) {
    SCOPED_TRACE(e.angle);
    RecordingTracer tracer;
    mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, e.angle);
    const auto squares = Squares(tracer);
    ASSERT_EQ(squares.size(), e.top + e.left);
    EXPECT_EQ(squares[0], e.top_first);
    EXPECT_EQ(squares[1], e.top_second);
    EXPECT_EQ(squares[e.top - 1], e.top_last);
    EXPECT_EQ(squares[e.top], e.left_first);
    EXPECT_EQ(squares[e.top + 1], e.left_second);
    EXPECT_EQ(squares.back(), e.left_last);
    // The second rendering is p180 turned by the opposite angle.
    const auto rotations = tracer.Calls("GdipRotateWorldTransform");
    ASSERT_EQ(rotations.size(), 2u);
    EXPECT_NE(rotations[1].find("\"angle\":" + std::to_string(static_cast<int>(e.angle) + 180)),
              std::string::npos);
  }
}

// Positions that depend on the constant 3.1415926 and on rounding halves to even: with an
// exact pi these would be exact halves and round the other way.
TEST(AnyAngleTurn, PositionsThatDependOnTheConstantAndHalvesToEven) {
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  RecordingTracer tracer;
  mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, 30);
  const auto squares = Squares(tracer);
  ASSERT_EQ(squares.size(), 296u);
  EXPECT_EQ(squares[0].y, -2);  // top edge j = 1: y = sin θ − 1 = −0.50000000773 gives −1
  for (int j = 1; j <= 33; j += 4) {  // left edge: −j·sin θ + 49 lies just above a half
    const int32_t x = squares[198 + j - 1].x + 1;
    EXPECT_EQ(x, static_cast<int32_t>(49 - j / 2)) << "j = " << j;
  }
}

TEST(AnyAngleTurn, MarginsAndSquareSides) {
  const struct {
    float angle;
    int32_t side;
  } cases[] = {{87, 3},  {88, 5},  {88.5f, 3}, {89, 3}, {92, 3},
               {178, 5}, {268, 5}, {358, 5},   {1, 3}};
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  for (const auto& c : cases) {
    RecordingTracer tracer;
    mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, c.angle);
    const auto squares = Squares(tracer);
    const size_t per_edge = c.side == 5 ? 196 + 96 : 198 + 98;
    EXPECT_EQ(squares.size(), per_edge) << c.angle;
    for (const auto& s : squares) ASSERT_EQ(s.side, c.side) << c.angle;
  }
}

TEST(AnyAngleTurn, NarrowPictures) {
  const struct {
    int32_t width;
    float angle;
    size_t top;
  } cases[] = {{2, 30, 0}, {3, 30, 1}, {4, 88, 0}, {5, 88, 1}, {1, 30, 0}};
  for (const auto& c : cases) {
    const auto form = testing_support::StartedWindow(Photo(c.width, 40));
    RecordingTracer tracer;
    mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, c.angle);
    const size_t left = c.angle == 88 ? 36 : 38;
    EXPECT_EQ(Squares(tracer).size(), c.top + left) << c.width << " wide at " << c.angle;
  }
}

TEST(AnyAngleTurn, LeavesTheWorkSurfacesBlankInTheTargetsBackColour) {
  const auto form = testing_support::StartedWindow(Photo(120, 80));
  mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, 30);
  for (platform::PictureBox* box : {&form->pTM, &form->p180}) {
    EXPECT_EQ(box->BackColor(), 0u);
    const Bitmap& pixels = box->Pixels();
    EXPECT_GT(pixels.width(), 0);
    EXPECT_EQ(testing_support::FirstDifference(pixels,
                                               Bitmap(pixels.width(), pixels.height(), 0xFF000000)),
              "")
        << box->Name();
  }
  EXPECT_EQ(form->p180.WidthPixels(), 120);  // sized by the 180-degree blit
}

// The repair redraws the top and left edges from the second rendering: afterwards the
// pixels the squares are centred on hold what pTM held there.
// The large picture's squares are many enough to be worked out over the cores.
TEST(AnyAngleTurn, RepairedEdgesComeFromTheSecondRendering) {
  const struct {
    int32_t w, h;
    float angle;
  } cases[] = {{120, 80, 30}, {900, 600, 30}, {333, 47, 200}, {64, 500, 300}};
  for (const auto& [w, h, angle] : cases) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(angle));
    const auto form = testing_support::StartedWindow(Photo(w, h));
    mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, angle);
    const Bitmap out = form->pDes.Pixels();
    // Rebuild the first rendering's translation and the second rendering by hand.
    int32_t offX = 0, offY = 0, scratchX = 0, scratchY = 0;
    mod_Turn::GdipTurn(form->pSrc, form->pDes, angle, offX, offY);
    mod_Turn::PlgTurn(form->pSrc, form->pSrc, form->p180, 180);
    mod_Turn::GdipTurn(form->p180, form->pTM, angle >= 180 ? angle - 180 : angle + 180, scratchX,
                       scratchY);
    const Bitmap& second = form->pTM.Pixels();
    const double c = std::cos(angle * 3.1415926 / 180), s = std::sin(angle * 3.1415926 / 180);
    int checked = 0;
    auto check = [&](int32_t length, auto position) {
      for (int j = 1; j <= length - 2; ++j) {
        const auto [fx, fy] = position(j);
        const auto x = static_cast<int32_t>(std::nearbyint(fx)),
                   y = static_cast<int32_t>(std::nearbyint(fy));
        if (x < 0 || y < 0 || x >= out.width() || y >= out.height() || x >= second.width() ||
            y >= second.height()) {
          continue;
        }
        ASSERT_EQ(out.at(x, y), second.at(x, y)) << "j = " << j << " at " << x << "," << y;
        ++checked;
      }
    };
    check(w, [&](int j) { return std::pair{c * j + offX, s * j + offY}; });
    check(h, [&](int j) { return std::pair{-j * s + offX, j * c + offY}; });
    EXPECT_GT(checked, (w + h) * 3 / 4);
  }
}

TEST(AnyAngleTurn, WhenTheLibraryDoesNotStartSquaresAreAtTheOrigin) {
  const auto form = testing_support::StartedWindow(Photo(50, 20));
  mod_Gdiplus::Faults().startup = true;
  RecordingTracer tracer;
  mod_Turn::AnyAngleTurn(form->pSrc, form->pDes, 30);
  mod_Gdiplus::Faults() = {};
  const auto squares = Squares(tracer);
  ASSERT_EQ(squares.size(), 48u + 18u);
  EXPECT_EQ(squares[0], (Square{0, -1, 3}));  // j = 1: (cos θ, sin θ) rounds to (1, 0)
}

}  // namespace
