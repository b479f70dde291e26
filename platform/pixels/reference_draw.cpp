// The reference versions: one pixel at a time, in double precision, straight from the
// rules in pixel_conventions.md. Slow on purpose; the fast versions are held to them.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/pixels/pixel_ops.h"

namespace platform {

namespace {

// Read once: the edge repair asks before each of its thousands of small copies.
std::atomic<bool> reference_path{[] {
  const char* value = std::getenv("ANYTURN_REFERENCE");
  return value != nullptr && std::strcmp(value, "1") == 0;
}()};

}  // namespace

bool UseReferencePath() {
  return reference_path.load(std::memory_order_relaxed);
}

void ChooseReferencePath(bool reference) {
  reference_path.store(reference, std::memory_order_relaxed);
}

namespace {

bool Inside(const Bitmap& bitmap, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < bitmap.width() && y < bitmap.height();
}

// Source index of the k-th pixel of a run of `run` target pixels over `size` source pixels.
int64_t StretchIndex(int64_t k, int64_t size, int64_t run) {
  return static_cast<int64_t>(std::floor((static_cast<double>(k) + 0.5) * size / run));
}

}  // namespace

bool ReferencePlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                           int32_t src_y, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  const Point p1 = corners[0], p2 = corners[1], p3 = corners[2];
  const int64_t ux = int64_t{p2.x} - p1.x, uy = int64_t{p2.y} - p1.y;
  const int64_t vx = int64_t{p3.x} - p1.x, vy = int64_t{p3.y} - p1.y;
  if (ux * vy - uy * vx == 0) return false;
  auto copy = [&](int64_t x, int64_t y, int64_t sx, int64_t sy) {
    sx += src_x;
    sy += src_y;
    if (Inside(dst, x, y) && Inside(src, sx, sy)) dst.row(y)[x] = src.at(sx, sy);
  };
  if (uy == 0 && vx == 0) {  // Rows stay rows: each axis counts from the corner pixel.
    const int64_t dx = ux > 0 ? 1 : -1, dy = vy > 0 ? 1 : -1;
    for (int64_t m = 0; m < std::abs(vy); ++m) {
      for (int64_t k = 0; k < std::abs(ux); ++k) {
        copy(p1.x + dx * k, p1.y + dy * m, StretchIndex(k, width, std::abs(ux)),
             StretchIndex(m, height, std::abs(vy)));
      }
    }
    return true;
  }
  // Everywhere else each target centre is mapped back into the source.
  const Affine to_dst{static_cast<double>(ux) / width,  static_cast<double>(uy) / width,
                      static_cast<double>(vx) / height, static_cast<double>(vy) / height,
                      static_cast<double>(p1.x),        static_cast<double>(p1.y)};
  const Affine to_src = *to_dst.Inverse();
  for (int32_t y = 0; y < dst.height(); ++y) {
    for (int32_t x = 0; x < dst.width(); ++x) {
      const double s = to_src.X(x + 0.5, y + 0.5), t = to_src.Y(x + 0.5, y + 0.5);
      if (s >= 0 && t >= 0 && s < width && t < height) {
        copy(x, y, static_cast<int64_t>(std::floor(s)), static_cast<int64_t>(std::floor(t)));
      }
    }
  }
  return true;
}

void ReferenceBitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                           const Bitmap& src, int32_t src_x, int32_t src_y) {
  const Bitmap before = src;  // the source as it was, in case it is also the target
  for (int64_t ty = 0; ty < dst.height(); ++ty) {
    for (int64_t tx = 0; tx < dst.width(); ++tx) {
      const int64_t i = tx - x, j = ty - y;
      if (i < 0 || j < 0 || i >= width || j >= height) continue;
      if (Inside(before, src_x + i, src_y + j)) dst.row(ty)[tx] = before.at(src_x + i, src_y + j);
    }
  }
}

namespace {

double Channel(uint32_t pixel, int shift) {
  return (pixel >> shift) & 0xFF;
}

double Coverage(double distance) {
  return std::clamp(distance + 0.5, 0.0, 1.0);
}

}  // namespace

void ReferenceDrawPixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src, int32_t x,
                        int32_t y) {
  ReferenceDrawPixel(target, src, dst_to_src, EdgeScales(dst_to_src), x, y);
}

EdgeScale EdgeScales(const Affine& dst_to_src) {
  return {std::hypot(dst_to_src.a, dst_to_src.c), std::hypot(dst_to_src.b, dst_to_src.d)};
}

void ReferenceDrawPixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src,
                        EdgeScale scale, int32_t x, int32_t y) {
  const double u = dst_to_src.X(x + 0.5, y + 0.5), v = dst_to_src.Y(x + 0.5, y + 0.5);
  // Distances to the source's edges, measured in target pixels.
  const double gu = scale.gu, gv = scale.gv;
  const double w = src.width(), h = src.height();
  const double coverage =
      Coverage(u / gu) * Coverage((w - u) / gu) * Coverage(v / gv) * Coverage((h - v) / gv);
  if (!(coverage > 0.0)) return;
  const double fx = std::clamp(u - 0.5, 0.0, w - 1), fy = std::clamp(v - 0.5, 0.0, h - 1);
  const int32_t x0 = static_cast<int32_t>(std::floor(fx)),
                y0 = static_cast<int32_t>(std::floor(fy));
  const int32_t x1 = std::min(x0 + 1, src.width() - 1), y1 = std::min(y0 + 1, src.height() - 1);
  const double tx = fx - x0, ty = fy - y0;
  const uint32_t p00 = src.at(x0, y0), p10 = src.at(x1, y0), p01 = src.at(x0, y1),
                 p11 = src.at(x1, y1);
  double sample[4];
  for (int k = 0; k < 4; ++k) {
    const int shift = 8 * k;
    sample[k] = (1 - ty) * ((1 - tx) * Channel(p00, shift) + tx * Channel(p10, shift)) +
                ty * ((1 - tx) * Channel(p01, shift) + tx * Channel(p11, shift));
  }
  const double keep = 1.0 - coverage * sample[3] / 255.0;
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    const double value = coverage * sample[k] + keep * Channel(target, 8 * k);
    out |= static_cast<uint32_t>(std::clamp(std::nearbyint(value), 0.0, 255.0)) << (8 * k);
  }
  target = out;
}

void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst) {
  const auto dst_to_src = src_to_dst.Inverse();
  if (!dst_to_src || src.empty()) return;
  for (int32_t y = 0; y < dst.height(); ++y) {
    for (int32_t x = 0; x < dst.width(); ++x)
      ReferenceDrawPixel(dst.row(y)[x], src, *dst_to_src, x, y);
  }
}

}  // namespace platform
