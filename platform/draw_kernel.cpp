// The fast transformed draw. Per target row it finds, in closed form, the span of pixels
// the picture can touch and, inside it, the span where the picture covers the pixel
// completely. The full span's ragged ends go through the reference pixel; the covered
// middle goes through a fixed-point bilinear loop.
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/parallel.h"
#include "platform/pixel_ops.h"

namespace platform {

namespace {

constexpr double kOne = 4294967296.0;  // 1.0 in 32.32 fixed point

// The X interval (closed, in doubles) where lo <= p0 + dp * X <= hi.
bool SolveSpan(double p0, double dp, double lo, double hi, double& x_lo, double& x_hi) {
  if (dp == 0.0) {
    if (p0 < lo || p0 > hi) return false;
    return true;  // the whole row
  }
  double a = (lo - p0) / dp, b = (hi - p0) / dp;
  if (a > b) std::swap(a, b);
  x_lo = std::max(x_lo, a);
  x_hi = std::min(x_hi, b);
  return x_lo <= x_hi;
}

// Two channels of a pixel spread into 32-bit lanes of one 64-bit word.
inline uint64_t Lanes(uint32_t pixel, int shift) {
  return ((pixel >> shift) & 0xFF) | (uint64_t{(pixel >> (shift + 16)) & 0xFF} << 32);
}

inline uint32_t Pack(uint64_t lanes, int shift) {
  return static_cast<uint32_t>((lanes & 0xFF) << shift) |
         static_cast<uint32_t>(((lanes >> 32) & 0xFF) << (shift + 16));
}

// Bilinear blend with 8-bit weights (wx, wy in 0..255, out of 256), rounded.
inline uint32_t Bilinear(const uint32_t* top, const uint32_t* bottom, uint32_t wx, uint32_t wy) {
  const uint64_t w00 = (256 - wx) * (256 - wy), w10 = wx * (256 - wy);
  const uint64_t w01 = (256 - wx) * wy, w11 = wx * wy;
  uint32_t out = 0;
  for (int shift = 0; shift < 16; shift += 8) {
    // Each lane sums at most 255 * 65536: no carry into the next lane.
    const uint64_t sum = Lanes(top[0], shift) * w00 + Lanes(top[1], shift) * w10 +
                         Lanes(bottom[0], shift) * w01 + Lanes(bottom[1], shift) * w11 +
                         ((uint64_t{32768} << 32) | 32768);
    out |= Pack(sum >> 16, shift);
  }
  return out;
}

inline uint32_t Over(uint32_t src, uint32_t dst) {
  const uint32_t alpha = src >> 24;
  if (alpha == 255) return src;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t d = (dst >> shift) & 0xFF, s = (src >> shift) & 0xFF;
    out |= std::min<uint32_t>(255, s + (d * (255 - alpha) + 127) / 255) << shift;
  }
  return out;
}

struct Job {
  Bitmap& dst;
  const Bitmap& src;
  Affine inv;        // target -> source
  double gu, gv;     // target pixels per source unit, across the u and v edges
  int32_t x_begin, x_end;
};

// The covered middle of one row, [x0, x1]: every pixel's bilinear footprint lies inside
// the source, so no clamping and no coverage.
void CoveredSpan(const Job& job, int32_t y, int32_t x0, int32_t x1, int64_t u, int64_t v,
                 int64_t du, int64_t dv) {
  uint32_t* out = job.dst.row(y);
  const uint32_t* pixels = job.src.data();
  const size_t stride = static_cast<size_t>(job.src.width());
  constexpr int64_t kHalfStep = int64_t{1} << 23;  // rounds to the nearest 1/256
  for (int32_t x = x0; x <= x1; ++x, u += du, v += dv) {
    const int64_t qu = u + kHalfStep, qv = v + kHalfStep;
    const uint32_t* top = pixels + static_cast<size_t>(qv >> 32) * stride + (qu >> 32);
    const uint32_t sample = Bilinear(top, top + stride, static_cast<uint32_t>((qu >> 24) & 0xFF),
                                     static_cast<uint32_t>((qv >> 24) & 0xFF));
    out[x] = Over(sample, out[x]);
  }
}

// Fixed-point position of the bilinear origin (centre minus half a pixel) at X.
int64_t Fixed(double p0, double dp, int32_t x) { return std::llround((p0 + dp * x - 0.5) * kOne); }

bool InCovered(int64_t u, int64_t v, const Bitmap& src) {
  constexpr int64_t kHalfStep = int64_t{1} << 23;
  const int64_t cu = (u + kHalfStep) >> 32, cv = (v + kHalfStep) >> 32;
  return u >= 0 && v >= 0 && cu <= src.width() - 2 && cv <= src.height() - 2;
}

void DrawRow(const Job& job, int32_t y) {
  const Affine& inv = job.inv;
  const double w = job.src.width(), h = job.src.height();
  // u and v at the centre of pixel X of this row: p0 + dp * X.
  const double u0 = inv.X(0.5, y + 0.5), v0 = inv.Y(0.5, y + 0.5), du = inv.a, dv = inv.b;
  // Pixels the picture may touch (coverage can be non-zero), widened by a pixel.
  double lo = job.x_begin, hi = job.x_end - 1.0;
  if (!SolveSpan(u0, du, -0.5 * job.gu, w + 0.5 * job.gu, lo, hi)) return;
  if (!SolveSpan(v0, dv, -0.5 * job.gv, h + 0.5 * job.gv, lo, hi)) return;
  const int32_t touch_lo = std::max(job.x_begin, static_cast<int32_t>(std::floor(lo)) - 1);
  const int32_t touch_hi = std::min(job.x_end - 1, static_cast<int32_t>(std::ceil(hi)) + 1);
  // Pixels covered completely, with their bilinear footprint inside the source.
  const double mu = std::max(0.5, 0.5 * job.gu), mv = std::max(0.5, 0.5 * job.gv);
  double clo = touch_lo, chi = touch_hi;
  bool covered = w >= 2 && h >= 2 && SolveSpan(u0, du, mu, w - mu, clo, chi) &&
                 SolveSpan(v0, dv, mv, h - mv, clo, chi);
  int32_t c_lo = covered ? static_cast<int32_t>(std::ceil(clo)) : 0;
  int32_t c_hi = covered ? static_cast<int32_t>(std::floor(chi)) : -1;
  // The closed form can be off by rounding; the fixed-point walk is what reads memory,
  // so its own values at both ends decide (it is linear, so the ends bound the middle).
  const int64_t fdu = std::llround(du * kOne), fdv = std::llround(dv * kOne);
  auto fu = [&](int32_t x) { return Fixed(u0, du, c_lo) + fdu * (x - c_lo); };
  auto fv = [&](int32_t x) { return Fixed(v0, dv, c_lo) + fdv * (x - c_lo); };
  while (c_lo <= c_hi && !InCovered(fu(c_lo), fv(c_lo), job.src)) ++c_lo;
  while (c_lo <= c_hi && !InCovered(fu(c_hi), fv(c_hi), job.src)) --c_hi;
  uint32_t* out = job.dst.row(y);
  if (c_lo > c_hi) {
    for (int32_t x = touch_lo; x <= touch_hi; ++x) ReferenceDrawPixel(out[x], job.src, inv, x, y);
    return;
  }
  for (int32_t x = touch_lo; x < c_lo; ++x) ReferenceDrawPixel(out[x], job.src, inv, x, y);
  CoveredSpan(job, y, c_lo, c_hi, fu(c_lo), fv(c_lo), fdu, fdv);
  for (int32_t x = c_hi + 1; x <= touch_hi; ++x) ReferenceDrawPixel(out[x], job.src, inv, x, y);
}

}  // namespace

void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst) {
  const auto inv = src_to_dst.Inverse();
  if (!inv || src.empty() || dst.empty()) return;
  // Fixed point holds positions up to 2^30; larger pictures take the exact path.
  if (src.width() >= (1 << 30) || src.height() >= (1 << 30)) {
    ReferenceDrawTransformedPixels(dst, src, src_to_dst);
    return;
  }
  // Target rows the picture can reach: its corners' bounding box, a pixel wider.
  double y_lo = std::numeric_limits<double>::max(), y_hi = std::numeric_limits<double>::lowest();
  double x_lo = y_lo, x_hi = y_hi;
  for (const auto& [u, v] : {std::pair{0.0, 0.0}, {1.0 * src.width(), 0.0},
                            {0.0, 1.0 * src.height()}, {1.0 * src.width(), 1.0 * src.height()}}) {
    x_lo = std::min(x_lo, src_to_dst.X(u, v));
    x_hi = std::max(x_hi, src_to_dst.X(u, v));
    y_lo = std::min(y_lo, src_to_dst.Y(u, v));
    y_hi = std::max(y_hi, src_to_dst.Y(u, v));
  }
  auto clip = [](double value, int32_t limit) {
    return static_cast<int32_t>(std::clamp(value, 0.0, static_cast<double>(limit)));
  };
  const int32_t row_lo = clip(std::floor(y_lo) - 1, dst.height());
  const int32_t row_hi = clip(std::ceil(y_hi) + 1, dst.height());
  const Job job{dst,
                src,
                *inv,
                std::hypot(inv->a, inv->c),
                std::hypot(inv->b, inv->d),
                clip(std::floor(x_lo) - 1, dst.width()),
                clip(std::ceil(x_hi) + 1, dst.width())};
  if (job.x_end <= job.x_begin || row_hi <= row_lo) return;
  ForRowBands(row_hi - row_lo, int64_t{row_hi - row_lo} * (job.x_end - job.x_begin),
              [&](int32_t a, int32_t b) {
                for (int32_t y = row_lo + a; y < row_lo + b; ++y) DrawRow(job, y);
              });
}

}  // namespace platform
