// The sharp resampler of a turn: three shears (sharp.h), each a windowed sinc, and the
// result held within the four source pixels around the point it shows, so that it keeps
// what a sinc keeps and a step never overshoots either of its levels (no halo). The target is
// worked out in tiles so that the passes' pixels stay in cache and the rows and columns they add
// around a tile stay few.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "platform/pixels/kernels.h"
#include "platform/pixels/sharp.h"

namespace platform {

void SharpWeights(double t, double weights[kSharpTaps]) {
  // A Lanczos window: smoother than the bare sinc near the limit, which is what keeps a
  // turn and its turn back from compounding their ringing.
  auto sinc = [](double x) {
    if (x == 0.0) return 1.0;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
  };
  double sum = 0;
  for (int k = 0; k < kSharpTaps; ++k) {
    const double d = t - (k - kSharpLobes + 1);
    weights[k] = std::abs(d) < kSharpLobes ? sinc(d) * sinc(d / kSharpLobes) : 0.0;
    sum += weights[k];
  }
  for (int k = 0; k < kSharpTaps; ++k) weights[k] /= sum;
}

void SharpTurn::SourcePixel(int32_t i, int32_t j, int32_t& x, int32_t& y) const {
  switch (quarters) {
    case 0:
      x = i, y = j;
      break;
    case 1:
      x = j, y = source_h - 1 - i;
      break;
    case 2:
      x = source_w - 1 - i, y = source_h - 1 - j;
      break;
    default:
      x = source_w - 1 - j, y = i;
      break;
  }
}

std::optional<SharpTurn> SharpTurnOf(const Affine& m, int32_t width, int32_t height) {
  // The engine's angles are single precision: a turn's matrix is a rotation to about 1e-7.
  constexpr double kTolerance = 1e-5;
  if (!(std::abs(m.a - m.d) <= kTolerance && std::abs(m.b + m.c) <= kTolerance &&
        std::abs(m.a * m.a + m.b * m.b - 1.0) <= kTolerance)) {
    return std::nullopt;
  }
  const double quarter = std::atan2(m.b, m.a) / (std::numbers::pi / 2);
  const int quarters = static_cast<int>(((std::lround(quarter) % 4) + 4) % 4);
  // The remaining turn: m after as many quarter turns back (each exact: columns swapped).
  double a = m.a, b = m.b, c = m.c, d = m.d;
  for (int k = 0; k < quarters; ++k) {
    const double na = -c, nb = -d, nc = a, nd = b;
    a = na, b = nb, c = nc, d = nd;
  }
  // Where the quarter turns put the source's corner, so that s' starts at (0, 0).
  const double ox[4] = {0, static_cast<double>(height), static_cast<double>(width), 0};
  const double oy[4] = {0, 0, static_cast<double>(height), static_cast<double>(width)};
  const double tx = m.e - (a * ox[quarters] + c * oy[quarters]);
  const double ty = m.f - (b * ox[quarters] + d * oy[quarters]);
  SharpTurn turn{};
  turn.quarters = quarters;
  turn.source_w = width;
  turn.source_h = height;
  turn.width = quarters % 2 ? height : width;
  turn.height = quarters % 2 ? width : height;
  turn.alpha = -b / (1.0 + a);
  turn.beta = b;
  turn.e2 = ty;
  turn.e3 = tx - turn.alpha * ty;
  return turn;
}

namespace {

// Four channels of a pixel (B, G, R, A, as the bytes lie), premultiplied.
using Px = float __attribute__((vector_size(16)));

Px Load(uint32_t pixel) {
  return Px{static_cast<float>(pixel & 0xFF), static_cast<float>((pixel >> 8) & 0xFF),
            static_cast<float>((pixel >> 16) & 0xFF), static_cast<float>(pixel >> 24)};
}

#if !defined(__x86_64__)
// Off x86-64 the hold works in floats, a channel at a time.
Px Min(Px a, Px b) {
  return a < b ? a : b;
}
Px Max(Px a, Px b) {
  return a > b ? a : b;
}

uint32_t Store(Px p) {
  using Int4 = int32_t __attribute__((vector_size(16)));
  p = Min(Max(p, Px{0, 0, 0, 0}), Px{255, 255, 255, 255});
  // Premultiplied: no channel above alpha. Rounded after, which is the same.
  const Int4 level = __builtin_convertvector(Min(p, Px{p[3], p[3], p[3], p[3]}) + 0.5f, Int4);
  return static_cast<uint32_t>(level[0] | level[1] << 8 | level[2] << 16 | level[3] << 24);
}
#endif

// One shift's weights and where its first tap is, relative to the output index.
struct Shift {
  int32_t first;   // tap k reads index out + first + k
  const float* w;  // kSharpTaps of them
};

// The weights for fractions in steps of 1 / kPhases: a point is then placed to within
// 1 / 2048 of a pixel, far below what 8-bit levels show, and no row or column pays for
// the sines of its own weights.
constexpr int kPhases = 1024;
using PhaseWeights = std::array<float, kSharpTaps>;

const std::vector<PhaseWeights>& WeightTable() {
  static const std::vector<PhaseWeights> table = [] {
    std::vector<PhaseWeights> t(kPhases + 1);
    for (int p = 0; p <= kPhases; ++p) {
      double w[kSharpTaps];
      SharpWeights(static_cast<double>(p) / kPhases, w);
      for (int k = 0; k < kSharpTaps; ++k) t[p][k] = static_cast<float>(w[k]);
    }
    return t;
  }();
  return table;
}

Shift ShiftOf(double offset) {
  double whole = std::floor(offset);
  auto phase = static_cast<int>(std::lround((offset - whole) * kPhases));
  if (phase == kPhases) whole += 1, phase = 0;
  return {static_cast<int32_t>(whole) - kSharpLobes + 1, WeightTable()[phase].data()};
}

// The loops the passes spend their time in, over plain floats (four to a pixel), so that
// the compiler spreads them over the vector unit; built twice, for every x86-64 and for
// AVX2 with fused multiply-adds, and chosen when run.
//
// One shift along a row: out[j] = sum over k of w[k] in[j + 4 k], j < floats.
__attribute__((always_inline)) inline void ShiftRowBody(const float* __restrict in,
                                                        float* __restrict out, int32_t floats,
                                                        const float* __restrict w) {
  for (int32_t j = 0; j < floats; ++j) {
    float sum = 0.0f;
    for (int k = 0; k < kSharpTaps; ++k) sum += w[k] * in[j + 4 * k];
    out[j] = sum;
  }
}

void ShiftRowPlain(const float* in, float* out, int32_t floats, const float* w) {
  ShiftRowBody(in, out, floats, w);
}

#if defined(__x86_64__)
__attribute__((target("avx2,fma"))) void ShiftRowAvx2(const float* in, float* out, int32_t floats,
                                                      const float* w) {
  ShiftRowBody(in, out, floats, w);
}
#endif

// Every processor with AVX2 has FMA but for a few; those take the plain loops.
bool HasAvx2Fma() {
#if defined(__x86_64__)
  static const bool fma = __builtin_cpu_supports("fma");
  return fma && HasAvx2();
#else
  return false;
#endif
}

void ShiftRow(const float* in, float* out, int32_t floats, const float* w) {
#if defined(__x86_64__)
  if (HasAvx2Fma()) return ShiftRowAvx2(in, out, floats, w);
#endif
  ShiftRowPlain(in, out, floats, w);
}

// Bytes to floats, one for one.
__attribute__((always_inline)) inline void ToFloatsBody(const uint8_t* __restrict in,
                                                        float* __restrict out, int32_t n) {
  for (int32_t j = 0; j < n; ++j) out[j] = in[j];
}
void ToFloatsPlain(const uint8_t* in, float* out, int32_t n) {
  ToFloatsBody(in, out, n);
}
#if defined(__x86_64__)
__attribute__((target("avx2"))) void ToFloatsAvx2(const uint8_t* in, float* out, int32_t n) {
  ToFloatsBody(in, out, n);
}
#endif
void ToFloats(const uint8_t* in, float* out, int32_t n) {
#if defined(__x86_64__)
  if (HasAvx2Fma()) return ToFloatsAvx2(in, out, n);
#endif
  ToFloatsPlain(in, out, n);
}

// The pixels of s' in the source, as the third pass holds its results within them:
// pixel (i, j) of s', inside s', is origin[i * di + j * dj].
struct Nearest {
  const uint32_t* origin;
  ptrdiff_t di, dj;
  int32_t width, height;  // of s'
};

Nearest NearestOf(const SharpTurn& turn, ConstPixelView src) {
  // Each quarter turn moves along rows or columns of the source: the steps from s' pixel
  // (0, 0) to (1, 0) and to (0, 1) hold for every pixel.
  int32_t x0, y0, x1, y1, x2, y2;
  turn.SourcePixel(0, 0, x0, y0);
  turn.SourcePixel(1, 0, x1, y1);
  turn.SourcePixel(0, 1, x2, y2);
  const auto step = [&](int32_t x, int32_t y) { return (x - x0) + (y - y0) * src.stride; };
  return {src.row(y0) + x0, step(x1, y1), step(x2, y2), turn.width, turn.height};
}

// out[k] = sums[k] held within the four pixels of s' around the point (u0 + k du, v0 + k
// dv), k < n, each of them clamped into s' (its edge pixels repeated outside it); the
// point given less half a pixel and plus kAbove. The invariant that keeps a step
// halo-free. Holding the rounded level within the four is the same as rounding the held
// one, since the four are whole levels; so is taking the least of a channel and alpha.
constexpr double kAbove = 1 << 20;
#if defined(__x86_64__)
// The sum held within the four pixels a, b, c and d, rounded, as a pixel.
__attribute__((always_inline)) inline uint32_t Held(Px sum, uint32_t a, uint32_t b, uint32_t c,
                                                    uint32_t d) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i pa = _mm_cvtsi32_si128(static_cast<int>(a));
  const __m128i pb = _mm_cvtsi32_si128(static_cast<int>(b));
  const __m128i pc = _mm_cvtsi32_si128(static_cast<int>(c));
  const __m128i pd = _mm_cvtsi32_si128(static_cast<int>(d));
  const __m128i least = _mm_min_epu8(_mm_min_epu8(pa, pb), _mm_min_epu8(pc, pd));
  const __m128i most = _mm_max_epu8(_mm_max_epu8(pa, pb), _mm_max_epu8(pc, pd));
  // Rounded to whole levels, those below 0 or above 255 saturated to them.
  const __m128i levels = _mm_cvttps_epi32(reinterpret_cast<__m128>(sum + 0.5f));
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(levels, zero), zero);
  const __m128i held = _mm_min_epu8(_mm_max_epu8(bytes, least), most);
  // Premultiplied: no channel above alpha.
  __m128i alpha = _mm_srli_epi32(held, 24);
  alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
  alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_min_epu8(held, alpha)));
}
#else
uint32_t Held(Px sum, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  const Px pa = Load(a), pb = Load(b), pc = Load(c), pd = Load(d);
  const Px lo = Min(Min(pa, pb), Min(pc, pd)), hi = Max(Max(pa, pb), Max(pc, pd));
  return Store(Min(Max(sum, lo), hi));
}
#endif

__attribute__((always_inline)) inline void HoldBody(const Px* __restrict sums, Nearest near,
                                                    double u0, double v0, double du, double dv,
                                                    uint32_t* __restrict out, int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    // Truncation of a value made positive is floor, without the library call that
    // std::floor is on x86-64 without SSE4.1; a tile's points lie far inside the offset.
    const auto i = static_cast<int32_t>(u0 + k * du) - (1 << 20);
    const auto j = static_cast<int32_t>(v0 + k * dv) - (1 << 20);
    const ptrdiff_t i0 = std::clamp(i, 0, near.width - 1) * near.di;
    const ptrdiff_t i1 = std::clamp(i + 1, 0, near.width - 1) * near.di;
    const uint32_t* r0 = near.origin + std::clamp(j, 0, near.height - 1) * near.dj;
    const uint32_t* r1 = near.origin + std::clamp(j + 1, 0, near.height - 1) * near.dj;
    out[k] = Held(sums[k], r0[i0], r0[i1], r1[i0], r1[i1]);
  }
}
void HoldPlain(const Px* sums, Nearest near, double u0, double v0, double du, double dv,
               uint32_t* out, int32_t n) {
  HoldBody(sums, near, u0, v0, du, dv, out, n);
}
#if defined(__x86_64__)
__attribute__((target("avx2,fma"))) void HoldAvx2(const Px* sums, Nearest near, double u0,
                                                  double v0, double du, double dv, uint32_t* out,
                                                  int32_t n) {
  HoldBody(sums, near, u0, v0, du, dv, out, n);
}
#endif
void Hold(const Px* sums, Nearest near, double u0, double v0, double du, double dv, uint32_t* out,
          int32_t n) {
#if defined(__x86_64__)
  if (HasAvx2Fma()) return HoldAvx2(sums, near, u0, v0, du, dv, out, n);
#endif
  HoldPlain(sums, near, u0, v0, du, dv, out, n);
}

const float* Floats(const Px* p) {
  return reinterpret_cast<const float*>(p);
}
float* Floats(Px* p) {
  return reinterpret_cast<float*>(p);
}

// Inclusive ranges of indices.
struct Range {
  int32_t lo, hi;
  int32_t size() const { return hi - lo + 1; }
};

// The indices the taps of `shift_of(i)` read for outputs [out.lo, out.hi], over i in `over`.
template <typename ShiftAt>
Range TapsRange(Range out, Range over, ShiftAt offset_at) {
  double lo = offset_at(over.lo), hi = lo;
  for (int32_t i = over.lo; i <= over.hi; ++i) {
    lo = std::min(lo, offset_at(i));
    hi = std::max(hi, offset_at(i));
  }
  return {out.lo + static_cast<int32_t>(std::floor(lo)) - kSharpLobes + 1,
          out.hi + static_cast<int32_t>(std::floor(hi)) + kSharpLobes};
}

// The three passes' extents for a target tile: the second pass's columns, the first
// pass's rows, and the columns of s' the first pass reads.
struct Extents {
  Range columns2, rows1, columns0;
};

Extents ExtentsOf(const SharpTurn& turn, Range x, Range y) {
  Extents e{};
  e.columns2 = TapsRange(x, y, [&](int32_t r) { return turn.Pass3(r); });
  e.rows1 = TapsRange(y, e.columns2, [&](int32_t c) { return turn.Pass2(c); });
  e.columns0 = TapsRange(e.columns2, e.rows1, [&](int32_t r) { return turn.Pass1(r); });
  return e;
}

// The rectangle of the source that s' pixels [columns] x [rows], each clamped into s',
// come from.
PixelRect SourceRect(const SharpTurn& turn, Range columns, Range rows) {
  auto clamp = [](Range r, int32_t size) {
    return Range{std::clamp(r.lo, 0, size - 1), std::clamp(r.hi, 0, size - 1)};
  };
  const Range c = clamp(columns, turn.width), r = clamp(rows, turn.height);
  int32_t x0, y0, x1, y1;
  turn.SourcePixel(c.lo, r.lo, x0, y0);
  turn.SourcePixel(c.hi, r.hi, x1, y1);
  return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1};
}

// Whether any pixel of the tile can show the picture: its corners mapped back to s' come
// within reach of it.
bool TouchesPicture(const SharpTurn& turn, const Extents& e) {
  return e.columns0.hi >= 0 && e.columns0.lo < turn.width && e.rows1.hi >= 0 &&
         e.rows1.lo < turn.height;
}

// Room that grows and is never cleared: every element is written before it is read.
template <typename T>
class Room {
 public:
  T* Of(size_t n) {
    if (n > size_) {
      data_.reset(new T[n]);
      size_ = n;
    }
    return data_.get();
  }

 private:
  std::unique_ptr<T[]> data_;
  size_t size_ = 0;
};

// What the passes work in, kept from one tile to the next.
struct Scratch {
  Room<Px> row, i1, i2, sums, column;
  Room<int32_t> band_lo;
};

class Tile {
 public:
  Tile(const SharpTurn& turn, Range x, Range y, Scratch& scratch)
      : turn_(turn), x_(x), y_(y), e_(ExtentsOf(turn, x, y)), scratch_(scratch) {}

  bool Visible() const { return TouchesPicture(turn_, e_); }

  void Run(ConstPixelView src, PixelView out) {
    FirstPass(src);
    SecondPass();
    ThirdPass(src, out);
  }

 private:
  // Columns [lo, hi] of row j of s', each index clamped into s' (the edge pixels repeated),
  // so that no pass below looks at an edge; row[i] holds column i.
  void LoadRow(ConstPixelView src, int32_t j, Range c, Px* row) const {
    const int32_t jj = std::clamp(j, 0, turn_.height - 1);
    const int32_t inside_lo = std::max(c.lo, 0), inside_hi = std::min(c.hi, turn_.width - 1);
    if (turn_.quarters == 0 && inside_lo <= inside_hi) {
      // Rows of s' are the source's own: the inside converted in one run.
      ToFloats(reinterpret_cast<const uint8_t*>(src.row(jj) + inside_lo), Floats(row + inside_lo),
               4 * (inside_hi - inside_lo + 1));
      for (int32_t i = c.lo; i < inside_lo; ++i) row[i] = row[inside_lo];
      for (int32_t i = inside_hi + 1; i <= c.hi; ++i) row[i] = row[inside_hi];
      return;
    }
    for (int32_t i = c.lo; i <= c.hi; ++i) {
      int32_t x, y;
      turn_.SourcePixel(std::clamp(i, 0, turn_.width - 1), jj, x, y);
      row[i] = platform::Load(src.at(x, y));
    }
  }

  // Rows of s' moved along themselves: one shift per row. The second pass reads each of
  // its columns over the rows its own taps reach, `band` rows from band_lo[c], so that
  // is all the first pass works out of the column: for each row, the columns whose band
  // holds it, which are consecutive since the bands move steadily from column to column.
  // Each column is stored from its band's first row (the first pass's result transposed),
  // so that the second pass reads along its columns as along rows.
  void FirstPass(ConstPixelView src) {
    const Range c2 = e_.columns2, r = e_.rows1;
    const int32_t band = Band();
    int32_t* band_lo = scratch_.band_lo.Of(c2.size());
    for (int32_t c = c2.lo; c <= c2.hi; ++c)
      band_lo[c - c2.lo] = y_.lo + ShiftOf(turn_.Pass2(c)).first;
    Px* in = scratch_.row.Of(e_.columns0.size()) - e_.columns0.lo;
    Px* row = scratch_.sums.Of(std::max(c2.size(), x_.size()));
    i1_ = scratch_.i1.Of(static_cast<size_t>(c2.size()) * band);
    int32_t* const bands_end = band_lo + c2.size();
    const bool falling = band_lo[0] >= bands_end[-1];  // the bands move up from left to right
    for (int32_t j = r.lo; j <= r.hi; ++j) {
      // The columns (from c2.lo) whose band holds row j, [first, last].
      const auto at = [&](auto holds) {
        return static_cast<int32_t>(std::partition_point(band_lo, bands_end, holds) - band_lo);
      };
      const int32_t first = falling ? at([j](int32_t lo) { return lo > j; })
                                    : at([&](int32_t lo) { return lo <= j - band; });
      const int32_t last = (falling ? at([&](int32_t lo) { return lo > j - band; })
                                    : at([j](int32_t lo) { return lo <= j; })) -
                           1;
      if (first > last) continue;
      const Shift s = ShiftOf(turn_.Pass1(j));
      const int32_t from = c2.lo + first + s.first;  // the first tap's column
      LoadRow(src, j, {from, from + (last - first) + kSharpTaps - 1}, in);
      ShiftRow(Floats(in + from), Floats(row), 4 * (last - first + 1), s.w);
      for (int32_t c = first; c <= last; ++c)
        i1_[static_cast<size_t>(c) * band + (j - band_lo[c])] = row[c - first];
    }
  }

  // The rows of the first pass that the second reads in each column.
  int32_t Band() const { return y_.size() + kSharpTaps - 1; }

  // Columns moved along themselves: one shift per column, along the transposed first
  // pass; transposed back into rows for the third.
  void SecondPass() {
    const Range c2 = e_.columns2;
    const int32_t band = Band(), height = y_.size();
    Px* column = scratch_.column.Of(height);
    i2_ = scratch_.i2.Of(static_cast<size_t>(c2.size()) * height);
    for (int32_t c = c2.lo; c <= c2.hi; ++c) {
      const Shift s = ShiftOf(turn_.Pass2(c));
      ShiftRow(Floats(&i1_[static_cast<size_t>(c - c2.lo) * band]), Floats(column), 4 * height,
               s.w);
      for (int32_t y = 0; y < height; ++y)
        i2_[static_cast<size_t>(y) * c2.size() + (c - c2.lo)] = column[y];
    }
  }

  // Rows moved along themselves again, into the target, each pixel held within the four
  // pixels of s' around the point it shows: the invariant that keeps a step halo-free.
  void ThirdPass(ConstPixelView src, PixelView out) {
    const Range c2 = e_.columns2;
    const Nearest near = NearestOf(turn_, src);
    Px* sums = scratch_.sums.Of(x_.size());
    for (int32_t y = y_.lo; y <= y_.hi; ++y) {
      const Shift s = ShiftOf(turn_.Pass3(y));
      const Px* in = &i2_[static_cast<size_t>(y - y_.lo) * c2.size() + (x_.lo + s.first - c2.lo)];
      ShiftRow(Floats(in), Floats(sums), 4 * x_.size(), s.w);
      double u0, v0, u1, v1;
      turn_.Inverse(x_.lo + 0.5, y + 0.5, u0, v0);
      turn_.Inverse(x_.lo + 1.5, y + 0.5, u1, v1);
      Hold(sums, near, u0 + kAbove - 0.5, v0 + kAbove - 0.5, u1 - u0, v1 - v0, out.row(y) + x_.lo,
           x_.size());
    }
  }

  const SharpTurn& turn_;
  Range x_, y_;
  Extents e_;
  Scratch& scratch_;
  Px* i1_ = nullptr;
  Px* i2_ = nullptr;
};

// Tiles as tall as the area or kTileRows, and as wide as keeps the passes' extra rows and
// columns smallest for that height: the first pass works out the tile's height and the
// taps' reach of each column, plus the columns the turn slants across; its rows are
// loaded with the taps' reach on either side.
int32_t TileWidth(const SharpTurn& turn, int32_t rows, int32_t width) {
  int32_t best = 16;
  double best_cost = 1e300;
  const double band = rows + kSharpTaps - 1;
  for (int32_t w = 16; w <= 512; w *= 2) {
    const Extents e = ExtentsOf(turn, {0, w - 1}, {0, rows - 1});
    const double first = e.columns2.size() * band;
    const double cost = (3.0 * (first + kSharpTaps * e.rows1.size()) / 2 + first +
                         e.columns2.size() * rows + static_cast<double>(w) * rows) /
                        (static_cast<double>(w) * rows);
    if (cost < best_cost) best = w, best_cost = cost;
    if (w >= width) break;
  }
  return best;
}

constexpr int32_t kTileRows = 128;

}  // namespace

PixelRect SharpSourceArea(int32_t width, int32_t height, const Affine& src_to_dst, PixelRect area) {
  const auto turn = SharpTurnOf(src_to_dst, width, height);
  if (!turn || area.left >= area.right || area.top >= area.bottom || width <= 0 || height <= 0)
    return {0, 0, 0, 0};
  const Extents e = ExtentsOf(*turn, {area.left, area.right - 1}, {area.top, area.bottom - 1});
  return SourceRect(*turn, e.columns0, e.rows1);
}

bool SharpSamples(PixelView out, ConstPixelView src, const Affine& src_to_dst, PixelRect area) {
  const auto turn = SharpTurnOf(src_to_dst, src.width, src.height);
  if (!turn || src.empty()) return false;
  // Kept by each thread from one area to the next: fresh room for every area would have
  // the system clear its pages each time.
  thread_local Scratch scratch;
  for (int32_t top = area.top; top < area.bottom; top += kTileRows) {
    const Range y{top, std::min(area.bottom, top + kTileRows) - 1};
    const int32_t tile_w = TileWidth(*turn, y.size(), area.right - area.left);
    for (int32_t left = area.left; left < area.right; left += tile_w) {
      Tile tile(*turn, {left, std::min(area.right, left + tile_w) - 1}, y, scratch);
      if (tile.Visible()) tile.Run(src, out);
    }
  }
  return true;
}

}  // namespace platform
