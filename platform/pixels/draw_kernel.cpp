// The fast transformed draw. Per target row it finds, in closed form, the span of pixels
// the picture can touch and, inside it, the span where the picture covers the pixel
// completely. The full span's ragged ends go through the one-pixel version (DrawPixel);
// the covered middle goes through a fixed-point bilinear loop.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/pixels/bilinear.h"
#include "platform/pixels/blend.h"
#include "platform/pixels/kernels.h"

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

// What a covered pixel is drawn over: the target's own pixel, or the colour of a clear
// that is folded into the draw and was never written there.
struct Under {
  bool cleared;
  uint32_t colour;
  uint32_t At(uint32_t pixel) const { return cleared ? colour : pixel; }
};

struct Job {
  PixelView dst;
  ConstPixelView src;
  Affine inv;  // target -> source
  EdgeScale scale;
  ConstPixelView sharp;      // the sharp resampler's samples, in target coordinates, or none
  int32_t x_begin, x_end;    // columns the picture can reach: every row is planned in these
  int32_t row_lo, row_hi;    // rows the picture can reach, inside the area drawn
  int32_t area_lo, area_hi;  // the columns drawn; a plan does not depend on them
};

// What one target row needs: the span the picture may touch, the covered span inside it
// (empty when c_lo > c_hi) and the fixed-point source position at c_lo.
// Left uninitialised by default: a band keeps an array of them on the stack.
struct RowPlan {
  int32_t touch_lo, touch_hi;
  int32_t c_lo, c_hi;
  int64_t u, v, du, dv;
};

// A row the picture does not touch.
constexpr RowPlan kEmptyRow{0, -1, 0, -1, 0, 0, 0, 0};

constexpr int64_t kHalfStep = int64_t{1} << 23;  // rounds a 32.32 value to the nearest 1/256

#if defined(__x86_64__)
#define AVX2 __attribute__((target("avx2")))

// The 8-bit weight of a rounded 32.32 position is byte 3 of its 64-bit lane. Positions
// sit in lanes (0, 2 | 1, 3): pixels 0 and 2 in the low 128-bit half, 1 and 3 in the high.
// These shuffles copy weights, zero-extended, into 16-bit lanes: the first position of
// each half (pixels 0 | 1) or the second (pixels 2 | 3) into all eight lanes of its half,
// or each position into the four lanes of its own 64-bit quarter.
AVX2 inline __m256i WeightsOfFirst(__m256i q) {
  return _mm256_shuffle_epi8(q, _mm256_set1_epi16(static_cast<short>(0x8003)));
}
AVX2 inline __m256i WeightsOfSecond(__m256i q) {
  return _mm256_shuffle_epi8(q, _mm256_set1_epi16(static_cast<short>(0x800B)));
}
AVX2 inline __m256i WeightsInPlace(__m256i q) {
  const __m256i pick = _mm256_setr_epi64x(0x8003800380038003, 0x800B800B800B800B,
                                          0x8003800380038003, 0x800B800B800B800B);
  return _mm256_shuffle_epi8(q, pick);
}

// One bilinear step on 16-bit channels: a + mulhrs(b - a, w << 7). The rounding high
// multiply gives ((b - a) * w * 128 + 2^14) >> 15, which is floor(((b - a) * w + 128) /
// 256), so a step equals Bilinear's (a * (256 - w) + b * w + 128) >> 8 exactly, in three
// instructions instead of six.
AVX2 inline __m256i Step(__m256i a, __m256i b, __m256i weights) {
  return _mm256_add_epi16(
      a, _mm256_mulhrs_epi16(_mm256_sub_epi16(b, a), _mm256_slli_epi16(weights, 7)));
}

// Pixels i and i + 1 of `a` in the low 64 bits, of `b` in the high, widened to 16 bits
// per channel.
AVX2 inline __m256i WidenedPairs(const uint32_t* a, const uint32_t* b) {
  const __m128d low = _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)));
  return _mm256_cvtepu8_epi16(
      _mm_castpd_si128(_mm_loadh_pd(low, reinterpret_cast<const double*>(b))));
}

// Whether all four pixels have alpha 255.
AVX2 inline bool AllOpaque(__m128i pixels) {
  const __m128i alpha = _mm_srli_epi32(pixels, 24);
  return _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255))) == 0xFFFF;
}

// The same blend as Bilinear, four pixels at a time and bit for bit. Each pixel's
// left/right pair of taps is loaded as one 64-bit value, two pixels' pairs per 128 bits,
// and widened to 16 bits per channel in one step; the vertical step blends both taps of
// two pixels at once, the horizontal one the four pixels' left and right taps. The tap
// addresses come from the scalar positions, so that the vector unit, which bounds this
// loop, only blends. Returns how many pixels it did (a multiple of four); the caller
// finishes the rest one pixel at a time. kOntoClear: the pixels under are all the clear's
// colour (under.cleared), so a translucent sample can be blended onto it after the loop,
// and the loop stores without looking at alpha.
template <bool kOntoClear>
AVX2 int32_t CoveredSpanAvx2(const uint32_t* pixels, int64_t stride, uint32_t* out, int32_t count,
                             int64_t u, int64_t v, int64_t du, int64_t dv, const Under& under) {
  u += kHalfStep;
  v += kHalfStep;
  __m256i qu = _mm256_set_epi64x(u + 3 * du, u + du, u + 2 * du, u);
  __m256i qv = _mm256_set_epi64x(v + 3 * dv, v + dv, v + 2 * dv, v);
  const __m256i step_u = _mm256_set1_epi64x(4 * du), step_v = _mm256_set1_epi64x(4 * dv);
  // After packing, pixels 0 2 | 1 3 are 32-bit elements 0 1 | 4 5.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 0, 4, 1, 5);
  const uint32_t* below = pixels + stride;
  __m128i alphas = _mm_set1_epi32(-1);  // every result's alpha, ANDed
  auto tap = [&](int k) { return ((v + k * dv) >> 32) * stride + ((u + k * du) >> 32); };
  int32_t done = 0;
  for (; done + 4 <= count; done += 4) {
    // Invariant: u, v and the lanes of qu, qv hold the rounded 32.32 positions of pixels
    // done .. done + 3, each pixel with its four taps inside the source.
    const int64_t i0 = tap(0), i1 = tap(1), i2 = tap(2), i3 = tap(3);
    // Vertical: both taps of pixels [0 | 1] and [2 | 3].
    const __m256i m01 = Step(WidenedPairs(pixels + i0, pixels + i1),
                             WidenedPairs(below + i0, below + i1), WeightsOfFirst(qv));
    const __m256i m23 = Step(WidenedPairs(pixels + i2, pixels + i3),
                             WidenedPairs(below + i2, below + i3), WeightsOfSecond(qv));
    // Horizontal: left taps [0 2 | 1 3] to right taps, in the order of qu's lanes.
    const __m256i h =
        Step(_mm256_unpacklo_epi64(m01, m23), _mm256_unpackhi_epi64(m01, m23), WeightsInPlace(qu));
    const __m128i result =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_packus_epi16(h, h), order));
    if constexpr (kOntoClear) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), result);
      alphas = _mm_and_si128(alphas, result);
    } else if (AllOpaque(result)) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), result);
    } else {
      alignas(16) uint32_t samples[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(samples), result);
      for (int k = 0; k < 4; ++k) out[done + k] = Over(samples[k], under.At(out[done + k]));
    }
    u += 4 * du;
    v += 4 * dv;
    qu = _mm256_add_epi64(qu, step_u);
    qv = _mm256_add_epi64(qv, step_v);
  }
  if (kOntoClear && !AllOpaque(alphas)) {
    // Over leaves an opaque sample as it is.
    for (int32_t k = 0; k < done; ++k) out[k] = Over(out[k], under.colour);
  }
  return done;
}
#undef AVX2
#endif

}  // namespace

namespace {

std::atomic<bool> simd_allowed{std::getenv("ANYTURN_NO_SIMD") == nullptr};

}  // namespace

bool SimdAllowed() {
  return simd_allowed.load(std::memory_order_relaxed);
}

void AllowSimd(bool allowed) {
  simd_allowed.store(allowed, std::memory_order_relaxed);
}

bool HasAvx2() {
#if defined(__x86_64__)
  static const bool has = __builtin_cpu_supports("avx2");
  return has && SimdAllowed();
#else
  return false;
#endif
}

EdgeScale EdgeScales(const Affine& dst_to_src) {
  return {std::hypot(dst_to_src.a, dst_to_src.c), std::hypot(dst_to_src.b, dst_to_src.d)};
}

// Straight from pixel_conventions.md, in double precision, without calls into the maths
// library: on x86-64 without SSE4.1, floor and nearbyint are library calls, and the edge
// pixels of every row of the fast draw go through here.
void DrawPixel(uint32_t& target, ConstPixelView src, const Affine& dst_to_src, EdgeScale scale,
               int32_t x, int32_t y) {
  const double u = dst_to_src.X(x + 0.5, y + 0.5), v = dst_to_src.Y(x + 0.5, y + 0.5);
  // Distances to the source's edges, measured in target pixels, give the coverage.
  const double gu = scale.gu, gv = scale.gv;
  const double w = src.width, h = src.height;
  auto coverage_of = [](double distance) { return std::clamp(distance + 0.5, 0.0, 1.0); };
  const double coverage = coverage_of(u / gu) * coverage_of((w - u) / gu) * coverage_of(v / gv) *
                          coverage_of((h - v) / gv);
  if (!(coverage > 0.0)) return;
  // Both are clamped to >= 0: truncation is floor.
  const double fx = std::clamp(u - 0.5, 0.0, w - 1), fy = std::clamp(v - 0.5, 0.0, h - 1);
  const int32_t x0 = static_cast<int32_t>(fx), y0 = static_cast<int32_t>(fy);
  const int32_t x1 = std::min(x0 + 1, src.width - 1), y1 = std::min(y0 + 1, src.height - 1);
  const double tx = fx - x0, ty = fy - y0;
  const uint32_t* top = src.row(y0);
  const uint32_t* bottom = src.row(y1);
  const uint32_t p00 = top[x0], p10 = top[x1], p01 = bottom[x0], p11 = bottom[x1];
  auto channel = [](uint32_t pixel, int shift) -> double { return (pixel >> shift) & 0xFF; };
  double sample[4];
  for (int k = 0; k < 4; ++k) {
    const int shift = 8 * k;
    sample[k] = (1 - ty) * ((1 - tx) * channel(p00, shift) + tx * channel(p10, shift)) +
                ty * ((1 - tx) * channel(p01, shift) + tx * channel(p11, shift));
  }
  const double keep = 1.0 - coverage * sample[3] / 255.0;
  // Adding and taking away 1.5 x 2^52 rounds to the nearest integer, halves to even, as
  // nearbyint does in the default rounding mode, for every value far below 2^51.
  constexpr double kRound = 6755399441055744.0;
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    const double value = coverage * sample[k] + keep * channel(target, 8 * k);
    const double rounded = (value + kRound) - kRound;
    out |= static_cast<uint32_t>(std::clamp(rounded, 0.0, 255.0)) << (8 * k);
  }
  target = out;
}

namespace {

// The covered pixels [x0, x1] of row y, starting at fixed-point (u, v). Invariant: every
// pixel's four bilinear taps lie inside the source (the plan checked both ends, and the
// walk is linear), so there is no clamping and no coverage here.
void CoveredSpan(const Job& job, int32_t y, int32_t x0, int32_t x1, int64_t u, int64_t v,
                 int64_t du, int64_t dv, const Under& under) {
  uint32_t* out = job.dst.row(y);
  if (job.sharp.pixels != nullptr) {
    const uint32_t* sharp = job.sharp.row(y);
    for (int32_t x = x0; x <= x1; ++x) out[x] = Over(sharp[x], under.At(out[x]));
    return;
  }
  const uint32_t* pixels = job.src.pixels;
  const size_t stride = static_cast<size_t>(job.src.stride);
#if defined(__x86_64__)
  if (HasAvx2()) {
    const auto span = under.cleared ? CoveredSpanAvx2<true> : CoveredSpanAvx2<false>;
    const int32_t done =
        span(pixels, static_cast<int64_t>(stride), out + x0, x1 - x0 + 1, u, v, du, dv, under);
    x0 += done;
    u += du * done;
    v += dv * done;
  }
#endif
  for (int32_t x = x0; x <= x1; ++x, u += du, v += dv) {
    const int64_t qu = u + kHalfStep, qv = v + kHalfStep;
    const uint32_t* top = pixels + static_cast<size_t>(qv >> 32) * stride + (qu >> 32);
    const uint32_t sample = Bilinear(top, top + stride, static_cast<uint32_t>((qu >> 24) & 0xFF),
                                     static_cast<uint32_t>((qv >> 24) & 0xFF));
    out[x] = Over(sample, under.At(out[x]));
  }
}

// Fixed-point position of the bilinear origin (centre minus half a pixel) at X.
int64_t Fixed(double p0, double dp, int32_t x) {
  return std::llround((p0 + dp * x - 0.5) * kOne);
}

bool InCovered(int64_t u, int64_t v, ConstPixelView src) {
  const int64_t cu = (u + kHalfStep) >> 32, cv = (v + kHalfStep) >> 32;
  return u >= 0 && v >= 0 && cu <= src.width - 2 && cv <= src.height - 2;
}

RowPlan Plan(const Job& job, int32_t y) {
  RowPlan plan = kEmptyRow;
  const Affine& inv = job.inv;
  const double w = job.src.width, h = job.src.height;
  // u and v at the centre of pixel X of this row: p0 + dp * X.
  const double u0 = inv.X(0.5, y + 0.5), v0 = inv.Y(0.5, y + 0.5), du = inv.a, dv = inv.b;
  // Pixels the picture may touch (coverage can be non-zero), widened by a pixel.
  double lo = job.x_begin, hi = job.x_end - 1.0;
  if (!SolveSpan(u0, du, -0.5 * job.scale.gu, w + 0.5 * job.scale.gu, lo, hi)) return plan;
  if (!SolveSpan(v0, dv, -0.5 * job.scale.gv, h + 0.5 * job.scale.gv, lo, hi)) return plan;
  plan.touch_lo = std::max(job.x_begin, static_cast<int32_t>(std::floor(lo)) - 1);
  plan.touch_hi = std::min(job.x_end - 1, static_cast<int32_t>(std::ceil(hi)) + 1);
  // Pixels covered completely, with their bilinear footprint inside the source.
  const double mu = std::max(0.5, 0.5 * job.scale.gu), mv = std::max(0.5, 0.5 * job.scale.gv);
  double clo = plan.touch_lo, chi = plan.touch_hi;
  if (w < 2 || h < 2 || !SolveSpan(u0, du, mu, w - mu, clo, chi) ||
      !SolveSpan(v0, dv, mv, h - mv, clo, chi)) {
    return plan;
  }
  int32_t c_lo = static_cast<int32_t>(std::ceil(clo)), c_hi = static_cast<int32_t>(std::floor(chi));
  // The closed form can be off by rounding; the fixed-point walk is what reads memory,
  // so its own values at both ends decide (it is linear, so the ends bound the middle).
  plan.du = std::llround(du * kOne);
  plan.dv = std::llround(dv * kOne);
  const int64_t u_at = Fixed(u0, du, c_lo), v_at = Fixed(v0, dv, c_lo);
  auto covered = [&](int32_t x) {
    return InCovered(u_at + plan.du * (x - c_lo), v_at + plan.dv * (x - c_lo), job.src);
  };
  const int32_t first = c_lo;
  while (c_lo <= c_hi && !covered(c_lo)) ++c_lo;
  while (c_lo <= c_hi && !covered(c_hi)) --c_hi;
  plan.c_lo = c_lo;
  plan.c_hi = c_hi;
  plan.u = u_at + plan.du * (c_lo - first);
  plan.v = v_at + plan.dv * (c_lo - first);
  return plan;
}

// A clear for the columns [lo, hi) of one row, everywhere but its covered span (which the
// tiles write).
void ClearAround(uint32_t* out, int32_t lo, int32_t hi, const RowPlan& plan, uint32_t colour) {
  if (plan.c_lo > plan.c_hi) {
    std::fill(out + lo, out + hi, colour);
    return;
  }
  std::fill(out + lo, out + std::clamp(plan.c_lo, lo, hi), colour);
  std::fill(out + std::clamp(plan.c_hi + 1, lo, hi), out + hi, colour);
}

// Rows in a band: at most kBand.
constexpr int32_t kBand = 128;

// Rows [first, last): clear them when the clear is folded in, draw the ragged ends of each
// row one pixel at a time, and the covered middles in tiles of kTileWidth columns so that
// the source pixels a tile reads stay in cache. A folded clear is written everywhere but
// the covered middles, which the tiles write completely.
void DrawBand(const Job& job, int32_t first, int32_t last, const Under& under) {
  // Measured on 4000 x 3000 at 30 degrees: tall bands and wide tiles read each source
  // cache line fewer times than small square ones.
  constexpr int32_t kTileWidth = 512;
  std::array<RowPlan, kBand> plans;
  int32_t span_lo = job.x_end, span_hi = job.x_begin - 1;
  for (int32_t y = first; y < last; ++y) {
    uint32_t* out = job.dst.row(y);
    const bool inside = y >= job.row_lo && y < job.row_hi;
    const RowPlan plan = inside ? Plan(job, y) : kEmptyRow;
    plans[y - first] = plan;
    const bool any = plan.c_lo <= plan.c_hi;
    if (under.cleared) ClearAround(out, job.area_lo, job.area_hi, plan, under.colour);
    if (!inside) continue;
    const int32_t edge_end = any ? plan.c_lo : plan.touch_hi + 1;
    auto edge = [&](int32_t from, int32_t to) {  // [from, to) inside the area
      for (int32_t x = std::max(from, job.area_lo); x < std::min(to, job.area_hi); ++x) {
        DrawPixel(out[x], job.src, job.inv, job.scale, x, y);
      }
    };
    edge(plan.touch_lo, edge_end);
    if (!any) continue;
    edge(plan.c_hi + 1, plan.touch_hi + 1);
    span_lo = std::min(span_lo, std::max(plan.c_lo, job.area_lo));
    span_hi = std::max(span_hi, std::min(plan.c_hi, job.area_hi - 1));
  }
  for (int32_t x0 = span_lo; x0 <= span_hi; x0 += kTileWidth) {
    const int32_t x1 = std::min(span_hi, x0 + kTileWidth - 1);
    for (int32_t y = std::max(first, job.row_lo); y < std::min(last, job.row_hi); ++y) {
      const RowPlan& plan = plans[y - first];
      const int32_t lo = std::max(plan.c_lo, x0), hi = std::min(plan.c_hi, x1);
      if (lo > hi) continue;
      CoveredSpan(job, y, lo, hi, plan.u + plan.du * (lo - plan.c_lo),
                  plan.v + plan.dv * (lo - plan.c_lo), plan.du, plan.dv, under);
    }
  }
}

// The bounding box of the rectangle [left, right] x [top, bottom] mapped through `m`: the
// box of its four corners.
struct Box {
  double x_lo, x_hi, y_lo, y_hi;
};

Box MappedBox(const Affine& m, double left, double top, double right, double bottom) {
  Box box{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
          std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()};
  for (const double x : {left, right}) {
    for (const double y : {top, bottom}) {
      box.x_lo = std::min(box.x_lo, m.X(x, y));
      box.x_hi = std::max(box.x_hi, m.X(x, y));
      box.y_lo = std::min(box.y_lo, m.Y(x, y));
      box.y_hi = std::max(box.y_hi, m.Y(x, y));
    }
  }
  return box;
}

// Where the area reads the source: around where the area's corners map to, two pixels
// wider for the bilinear taps, and wider again by the reach of the edge coverage (a pixel
// partly over the picture reads its nearest pixels).
PixelRect SourceUnder(int32_t width, int32_t height, const Affine& inv, EdgeScale scale,
                      PixelRect area) {
  const double reach_u = 2 + 0.5 * scale.gu, reach_v = 2 + 0.5 * scale.gv;
  const Box read = MappedBox(inv, area.left, area.top, area.right, area.bottom);
  auto clip = [](double value, int32_t size) {
    return static_cast<int32_t>(std::clamp(value, 0.0, static_cast<double>(size)));
  };
  return {
      clip(std::floor(read.x_lo - reach_u), width), clip(std::floor(read.y_lo - reach_v), height),
      clip(std::ceil(read.x_hi + reach_u), width), clip(std::ceil(read.y_hi + reach_v), height)};
}

}  // namespace

void DrawTransformed(PixelView dst, ConstPixelView src, const Affine& src_to_dst, PixelRect area,
                     std::optional<uint32_t> clear, ConstPixelView sharp) {
  area = {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, dst.width),
          std::min(area.bottom, dst.height)};
  if (area.left >= area.right || area.top >= area.bottom) return;
  const auto inv = src_to_dst.Inverse();
  if (!inv || src.empty()) {
    if (clear) FillArea(dst, area, *clear);  // nothing to draw over the clear
    return;
  }
  const EdgeScale scale = EdgeScales(*inv);
  // Target rows the picture can reach: its corners' bounding box, a pixel wider.
  const auto [x_lo, x_hi, y_lo, y_hi] = MappedBox(src_to_dst, 0, 0, src.width, src.height);
  auto clip = [](double value, int32_t lo, int32_t hi) {
    return static_cast<int32_t>(
        std::clamp(value, static_cast<double>(lo), static_cast<double>(hi)));
  };
  const Job job{dst,
                src,
                *inv,
                scale,
                sharp,
                clip(std::floor(x_lo) - 1, 0, dst.width),
                clip(std::ceil(x_hi) + 1, 0, dst.width),
                clip(std::floor(y_lo) - 1, area.top, area.bottom),
                clip(std::ceil(y_hi) + 1, area.top, area.bottom),
                area.left,
                area.right};
  const Under under{clear.has_value(), clear.value_or(0)};
  const int32_t first = clear ? area.top : job.row_lo, last = clear ? area.bottom : job.row_hi;
  if (std::min(job.x_end, area.right) <= std::max(job.x_begin, area.left) && !clear) return;
  for (int32_t top = first; top < last; top += kBand) {
    DrawBand(job, top, std::min(last, top + kBand), under);
  }
}

PixelRect DrawSourceArea(int32_t width, int32_t height, const Affine& src_to_dst, PixelRect area) {
  const auto inv = src_to_dst.Inverse();
  if (!inv) return {0, 0, 0, 0};
  return SourceUnder(width, height, *inv, EdgeScales(*inv), area);
}

}  // namespace platform
