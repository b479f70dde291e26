// The kernels that move whole pixels: fills, row copies and mirrors, the transposition of
// a turn by 90 or 270 degrees, and the block copy.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/pixels/clip.h"
#include "platform/pixels/kernels.h"

namespace platform {

namespace {

// to[count - 1 - k] = from[k]: a row mirrored, four pixels at a time.
void Reverse(uint32_t* to, const uint32_t* from, int64_t count) {
  int64_t k = 0;
#if defined(__SSE2__)
  // Invariant: pixels from[0 .. k) are in place, and k + 4 <= count inside the loop.
  for (; k + 4 <= count; k += 4) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + count - 4 - k), _mm_shuffle_epi32(four, 0x1B));
  }
#endif
  for (; k < count; ++k) to[count - 1 - k] = from[k];
}

// Source row src_y + m, columns [src_x + skip, src_x + skip + count), into its target row.
void CopyRow(PixelView dst, ConstPixelView src, const RowCopy& copy, int64_t m, int64_t skip,
             int64_t count) {
  const uint32_t* from = src.row(static_cast<int32_t>(copy.src_y + m)) + copy.src_x + skip;
  uint32_t* to = dst.row(static_cast<int32_t>(copy.y + copy.dy * m)) + copy.x + copy.dx * skip;
  if (copy.dx > 0) {
    std::memcpy(to, from, count * sizeof(uint32_t));
  } else {
    Reverse(to - (count - 1), from, count);
  }
}

// The source columns and rows of the copy that land in `area`.
struct CopyRuns {
  Run cols, rows;
};

CopyRuns RunsIn(const RowCopy& copy, PixelRect area) {
  // Source column src_x + k lands in column x + dx * k: the k whose column is in the area.
  return {ClipRun(copy.x - area.left, copy.dx, area.right - area.left, 0, copy.width, copy.width),
          ClipRun(copy.y - area.top, copy.dy, area.bottom - area.top, 0, copy.height, copy.height)};
}

}  // namespace

void FillArea(PixelView dst, PixelRect area, uint32_t colour) {
  const int32_t left = std::max(area.left, 0), right = std::min(area.right, dst.width);
  if (left >= right) return;
  for (int32_t y = std::max(area.top, 0); y < std::min(area.bottom, dst.height); ++y) {
    std::fill(dst.row(y) + left, dst.row(y) + right, colour);
  }
}

void FillAll(PixelView dst, uint32_t colour) {
  FillArea(dst, {0, 0, dst.width, dst.height}, colour);
}

void CopyRowsArea(PixelView dst, ConstPixelView src, const RowCopy& copy, PixelRect area) {
  const auto [cols, rows] = RunsIn(copy, area);
  if (cols.count == 0 || rows.count == 0) return;
  for (int64_t m = rows.skip; m < rows.skip + rows.count; ++m) {
    CopyRow(dst, src, copy, m, cols.skip, cols.count);
  }
}

PixelRect CopySourceArea(const RowCopy& copy, PixelRect area) {
  const auto [cols, rows] = RunsIn(copy, area);
  if (cols.count == 0 || rows.count == 0) return {0, 0, 0, 0};
  const auto left = static_cast<int32_t>(copy.src_x + cols.skip),
             top = static_cast<int32_t>(copy.src_y + rows.skip);
  return {left, top, static_cast<int32_t>(left + cols.count),
          static_cast<int32_t>(top + rows.count)};
}

void CopyRowsAll(PixelView dst, ConstPixelView src, const RowCopy& copy) {
  for (int64_t m = 0; m < copy.height; ++m) CopyRow(dst, src, copy, m, 0, copy.width);
}

PixelRect TransposedArea(const Transposition& t, ConstPixelView src, PixelView dst) {
  // Target X range whose source row lies in the rectangle and on src; Y likewise for columns.
  auto range = [](int64_t at0, int64_t step, int64_t size, int64_t offset, int64_t src_limit,
                  int64_t dst_limit, int64_t& lo, int64_t& hi) {
    // index(X) = at0 + step * X must lie in [0, size) and offset + index in [0, src_limit).
    const int64_t a = std::max<int64_t>(0, -offset),
                  b = std::min<int64_t>(size, src_limit - offset);
    if (step > 0) {
      lo = a - at0;
      hi = b - at0;
    } else {
      lo = at0 - b + 1;
      hi = at0 - a + 1;
    }
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, dst_limit);
  };
  int64_t x_lo, x_hi, y_lo, y_hi;
  range(t.row_at_0, t.row_step, t.height, t.src_y, src.height, dst.width, x_lo, x_hi);
  range(t.col_at_0, t.col_step, t.width, t.src_x, src.width, dst.height, y_lo, y_hi);
  if (x_hi <= x_lo || y_hi <= y_lo) return {0, 0, 0, 0};
  return {static_cast<int32_t>(x_lo), static_cast<int32_t>(y_lo), static_cast<int32_t>(x_hi),
          static_cast<int32_t>(y_hi)};
}

// Walked in square tiles so that both the rows read and the columns written stay in cache.
void Transpose(PixelView dst, ConstPixelView src, const Transposition& t) {
  const PixelRect area = TransposedArea(t, src, dst);
  const int64_t x_lo = area.left, x_hi = area.right, y_lo = area.top, y_hi = area.bottom;
  if (x_hi <= x_lo || y_hi <= y_lo) return;
  // Target (X, Y) reads source row row(X) at column col(Y).
  auto row_of = [&](int64_t x) {
    return src.row(static_cast<int32_t>(t.src_y + t.row_at_0 + t.row_step * x));
  };
  auto col_of = [&](int64_t y) { return t.src_x + t.col_at_0 + t.col_step * y; };
  // Invariant for both copies: every (X, Y) handed to them maps to a source pixel inside
  // src (the area above), so no read leaves the source.
  auto one_by_one = [&](int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      uint32_t* to = dst.row(static_cast<int32_t>(y));
      for (int64_t x = x0; x < x1; ++x) to[x] = row_of(x)[col_of(y)];
    }
  };
  // Four target rows and columns at once: four source rows of four pixels, transposed in
  // registers. The four columns are read left to right, so a target walking the columns
  // backwards takes the transposed rows in reverse. Returns how far it got in x and y;
  // the rest goes one pixel at a time.
  auto by_blocks = [&](int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
#if defined(__SSE2__)
    const int64_t x4 = x0 + (x1 - x0) / 4 * 4, y4 = y0 + (y1 - y0) / 4 * 4;
    for (int64_t y = y0; y < y4; y += 4) {
      const int64_t first_col = std::min(col_of(y), col_of(y + 3));
      uint32_t* rows[4];
      for (int j = 0; j < 4; ++j)
        rows[t.col_step > 0 ? j : 3 - j] = dst.row(static_cast<int32_t>(y + j));
      for (int64_t x = x0; x < x4; x += 4) {
        __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_of(x) + first_col));
        __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_of(x + 1) + first_col));
        __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_of(x + 2) + first_col));
        __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_of(x + 3) + first_col));
        const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
        const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
        r0 = _mm_unpacklo_epi64(t0, t1);  // column first_col of rows x .. x + 3
        r1 = _mm_unpackhi_epi64(t0, t1);
        r2 = _mm_unpacklo_epi64(t2, t3);
        r3 = _mm_unpackhi_epi64(t2, t3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[0] + x), r0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[1] + x), r1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[2] + x), r2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[3] + x), r3);
      }
    }
    return std::pair{x4, y4};
#else
    (void)x1;
    (void)y1;
    return std::pair{x0, y0};
#endif
  };
  constexpr int64_t kTile = 64;
  for (int64_t y0 = y_lo; y0 < y_hi; y0 += kTile) {
    const int64_t y1 = std::min(y_hi, y0 + kTile);
    for (int64_t x0 = x_lo; x0 < x_hi; x0 += kTile) {
      const int64_t x1 = std::min(x_hi, x0 + kTile);
      const auto [x4, y4] = by_blocks(x0, x1, y0, y1);
      one_by_one(x4, x1, y0, y4);
      one_by_one(x0, x1, y4, y1);
    }
  }
}

void CopyRect(PixelView dst, int32_t x, int32_t y, ConstPixelView src, int32_t src_x, int32_t src_y,
              int32_t width, int32_t height) {
  // Overlapping rows of one view: walk away from the overlap.
  const bool upward = dst.pixels == src.pixels && y > src_y;
  for (int32_t i = 0; i < height; ++i) {
    const int32_t m = upward ? height - 1 - i : i;
    std::memmove(dst.row(y + m) + x, src.row(src_y + m) + src_x, width * sizeof(uint32_t));
  }
}

}  // namespace platform
