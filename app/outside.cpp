#include "app/outside.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/pixels/image.h"

namespace app {

using platform::Bitmap;
using platform::PixelRect;
using platform::PixelSize;

Bitmap WithCoverageAsAlpha(const Bitmap& turned, const Bitmap& coverage) {
  return Bitmap(platform::WithCoverageAsAlpha(turned.image(), coverage.image()));
}

PixelSize StraightenCropSize(int32_t width, int32_t height, double degrees) {
  double folded = std::fmod(degrees, 180.0);
  if (folded < 0) folded += 180.0;
  // From the nearest right angle: past 45 the turned picture stands on its other side.
  const bool sideways = folded > 45.0 && folded <= 135.0;
  const double tilt = std::abs(sideways ? folded - 90.0 : folded > 135.0 ? folded - 180.0 : folded);
  const double w = sideways ? height : width;
  const double h = sideways ? width : height;
  const double a = tilt * std::numbers::pi / 180.0;
  const double k =
      std::min(w / (w * std::cos(a) + h * std::sin(a)), h / (w * std::sin(a) + h * std::cos(a)));
  // A hair under the exact product, so that 1.0 x 640 stays 640 and not 639.
  const auto down = [](double v) { return static_cast<int32_t>(std::floor(v + 1e-9)); };
  return {down(k * w), down(k * h)};
}

namespace {

bool Covered(const platform::ConstPixelView& cover, const PixelRect& r) {
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint32_t* row = cover.row(y);
    for (int32_t x = r.left; x < r.right; ++x) {
      if (((row[x] >> 16) & 0xFF) != 255) return false;
    }
  }
  return true;
}

}  // namespace

PixelRect StraightenCrop(const Bitmap& coverage, PixelSize size) {
  const platform::ConstPixelView cover = coverage.Read();
  const int32_t w = std::min(size.width, cover.width);
  const int32_t h = std::min(size.height, cover.height);
  PixelRect r{(cover.width - w) / 2, (cover.height - h) / 2, 0, 0};
  r.right = r.left + w;
  r.bottom = r.top + h;
  while (r.left < r.right && r.top < r.bottom && !Covered(cover, r)) {
    ++r.left, ++r.top, --r.right, --r.bottom;
  }
  if (r.left >= r.right || r.top >= r.bottom) return {0, 0, 0, 0};
  return r;
}

}  // namespace app
