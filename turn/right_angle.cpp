// The right-angle turn: one parallelogram blit.
#include <algorithm>
#include <array>
#include <cmath>

#include "platform/gdi/gdi.h"
#include "turn/extremes.h"
#include "turn/mod_turn.h"

namespace mod_Turn {

using platform::Add32;
using platform::Half;
using platform::Point;
using platform::Round32;
using platform::Sub32;

bool IsRightAngle(Angle angle) {
  return angle == 0 || angle == 90 || angle == 180 || angle == 270 || angle == 360;
}

void SizeWindow(PictureBox& ctl, int32_t width, int32_t height) {
  platform::SetWindowPos(ctl.hWnd(), nullptr, 0, 0, width, height,
                         platform::SWP_NOMOVE | platform::SWP_NOZORDER | platform::SWP_NOACTIVATE);
}

namespace {

constexpr int kHiMetric = platform::scale_mode::kHiMetric;
constexpr int kPixels = platform::scale_mode::kPixels;

}  // namespace

bool PlgTurn(const Scaler& scaler, PictureBox& src, PictureBox& dst, Angle angle) {
  const double theta = platform::Radians(angle);
  const int32_t w =
      Round32(scaler.ScaleX(static_cast<float>(src.Image().Width), kHiMetric, kPixels));
  // The height goes through the horizontal conversion too: both units are square.
  const int32_t h =
      Round32(scaler.ScaleX(static_cast<float>(src.Image().Height), kHiMetric, kPixels));
  const double s = std::sin(theta), c = std::cos(theta);

  // Turned about the lower-left corner (0, h), which stays in place.
  std::array<Point, 3> corners;
  Point& p1 = corners[0];
  Point& p2 = corners[1];
  Point& p3 = corners[2];
  p1 = {Round32(h * s), Round32(h - h * c)};
  p2 = {Round32(w * c + p1.x), Round32(w * s + p1.y)};
  p3 = {0, h};
  const Point p4{Round32(w * c + p3.x), Round32(w * s + p3.y)};

  const Extremes xs = ExtremesOf({p1.x, p2.x, p3.x, p4.x});
  const Extremes ys = ExtremesOf({p1.y, p2.y, p3.y, p4.y});
  const int32_t width = Sub32(xs.max, xs.min), height = Sub32(ys.max, ys.min);
  SizeWindow(dst, width, height);

  // Centred in whatever size dst took; at exactly 180 one pixel up and left.
  const float sw = dst.ScaleWidth(), sh = dst.ScaleHeight();
  int32_t dx = Sub32(Half(Round32(static_cast<double>(sw) - width)), xs.min);
  int32_t dy = Sub32(Half(Round32(static_cast<double>(sh) - height)), ys.min);
  if (angle == 180.0f) {
    dx = Sub32(dx, 1);
    dy = Sub32(dy, 1);
  }
  p1 = {Add32(p1.x, dx), Add32(p1.y, dy)};
  p2 = {Add32(p2.x, dx), Add32(p2.y, dy)};
  p3 = {Add32(p3.x, dx), Add32(p3.y, dy)};

  platform::HDC to = dst.hDC();
  platform::HDC from = src.hDC();
  const bool drawn = platform::PlgBlt(to, corners.data(), from, 0, 0, w, h, nullptr, 0, 0) != 0;
  dst.Refresh();
  return drawn;
}

}  // namespace mod_Turn
