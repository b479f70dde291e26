// Fast versions of the parallelogram blit and the block copy. Only the shapes the program
// asks for take a fast path (a copy or a mirror, a turn by 90 or 270 degrees at the
// picture's own size); everything else goes to the reference version, which is exact.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/pixels/parallel.h"
#include "platform/pixels/pixel_ops.h"

namespace platform {

namespace {

void PrepareTarget(Bitmap& dst, bool covers_dst) {
  dst.BeginWrite();
  if (covers_dst) {
    dst.DropPendingFill();
  } else {
    (void)dst.data();
  }
}

// Readies a target of which only `area` is written: a draw pending on it is worked out
// there and stays pending for the rest.
void PrepareTargetArea(Bitmap& dst, PixelRect area) {
  if (area.left == 0 && area.top == 0 && area.right == dst.width() && area.bottom == dst.height()) {
    PrepareTarget(dst, true);
  } else {
    dst.BeginAreaWrite(area);
  }
}

// Carries out fills still pending before the pixel loops start, so that no thread ever
// settles a bitmap another thread is reading. A target the loop will cover completely
// just forgets its pending fill: every pixel is about to be written anyway.
void Prepare(Bitmap& dst, const Bitmap& src, bool covers_dst) {
  PrepareTarget(dst, covers_dst);
  (void)src.data();
}

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

// Clips the run start..start+count-1 (step +1) to [0, limit) for both a target and a
// source coordinate that move together. Returns the number of leading pixels to skip
// and shortens `count`.
struct Run {
  int64_t skip = 0;
  int64_t count = 0;
};

Run ClipRun(int64_t target, int64_t target_step, int64_t target_limit, int64_t source,
            int64_t source_limit, int64_t count) {
  // Target index t = target + target_step * k, source s = source + k, k in [0, count).
  int64_t lo = std::max<int64_t>(0, -source);
  int64_t hi = std::min<int64_t>(count, source_limit - source);
  if (target_step > 0) {
    lo = std::max(lo, -target);
    hi = std::min(hi, target_limit - target);
  } else {
    lo = std::max(lo, target - (target_limit - 1));
    hi = std::min(hi, target + 1);
  }
  return hi > lo ? Run{lo, hi - lo} : Run{0, 0};
}

// Source row src_y + m, columns [src_x + skip, src_x + skip + count), into its target row.
void CopyRow(Bitmap& dst, const Bitmap& src, const RowCopy& copy, int64_t m, int64_t skip,
             int64_t count) {
  const uint32_t* from = src.RawRowConst(static_cast<int32_t>(copy.src_y + m)) + copy.src_x + skip;
  uint32_t* to = dst.RawRow(static_cast<int32_t>(copy.y + copy.dy * m)) + copy.x + copy.dx * skip;
  if (copy.dx > 0) {
    std::memcpy(to, from, count * sizeof(uint32_t));
  } else {
    Reverse(to - (count - 1), from, count);
  }
}

// Rows stay rows at the picture's own size: a copy, or a mirror along either axis. A
// target whose clear is still pending takes it as a deferred copy: only what is read of it
// is copied (the edge repair reads two strips of the 180-degree copy).
void CopyOrMirror(Bitmap& dst, Point p1, int dx, int dy, const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height) {
  const Run cols = ClipRun(p1.x, dx, dst.width(), src_x, src.width(), width);
  const Run rows = ClipRun(p1.y, dy, dst.height(), src_y, src.height(), height);
  if (cols.count == 0 || rows.count == 0) return;
  const RowCopy copy{static_cast<int32_t>(p1.x + dx * cols.skip),
                     static_cast<int32_t>(p1.y + dy * rows.skip),
                     dx,
                     dy,
                     static_cast<int32_t>(src_x + cols.skip),
                     static_cast<int32_t>(src_y + rows.skip),
                     static_cast<int32_t>(cols.count),
                     static_cast<int32_t>(rows.count)};
  if (!dst.DeferCopy(src, copy)) CopyRows(dst, src, copy);
}

// A turn by 90 or 270 degrees at the picture's own size: target (X, Y) takes source
// (col(Y), row(X)), where col and row step by +1 or -1. Walked in square tiles so that
// both the rows read and the columns written stay in cache.
void Transpose(Bitmap& dst, int64_t col_at_0, int64_t col_step, int64_t row_at_0, int64_t row_step,
               const Bitmap& src, int32_t src_x, int32_t src_y, int32_t width, int32_t height) {
  // Target X range whose source row lies in [0, height) and on src; Y likewise for columns.
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
  range(row_at_0, row_step, height, src_y, src.height(), dst.width(), x_lo, x_hi);
  range(col_at_0, col_step, width, src_x, src.width(), dst.height(), y_lo, y_hi);
  if (x_hi <= x_lo || y_hi <= y_lo) return;
  Prepare(dst, src, x_hi - x_lo == dst.width() && y_hi - y_lo == dst.height());
  const uint32_t* const source = src.data();
  const int64_t stride = src.width();
  // Target (X, Y) reads source row row(X) at column col(Y).
  auto row_of = [&](int64_t x) { return source + (src_y + row_at_0 + row_step * x) * stride; };
  auto col_of = [&](int64_t y) { return src_x + col_at_0 + col_step * y; };
  // Invariant for both copies: every (X, Y) handed to them maps to a source pixel inside
  // src (the ranges above), so no read leaves the source.
  auto one_by_one = [&](int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      uint32_t* to = dst.RawRow(static_cast<int32_t>(y));
      for (int64_t x = x0; x < x1; ++x) to[x] = row_of(x)[col_of(y)];
    }
  };
  // Four target rows and columns at once: four source rows of four pixels, transposed in
  // registers. The four columns are read left to right, so a target walking the columns
  // backwards takes the transposed rows in reverse.
  auto by_blocks = [&](int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
#if defined(__SSE2__)
    for (int64_t y = y0; y + 4 <= y1; y += 4) {
      const int64_t first_col = std::min(col_of(y), col_of(y + 3));
      uint32_t* rows[4];
      for (int j = 0; j < 4; ++j)
        rows[col_step > 0 ? j : 3 - j] = dst.RawRow(static_cast<int32_t>(y + j));
      for (int64_t x = x0; x + 4 <= x1; x += 4) {
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
#else
    one_by_one(x0, x0 + (x1 - x0) / 4 * 4, y0, y0 + (y1 - y0) / 4 * 4);
#endif
  };
  // Square tiles keep both the rows read and the columns written in cache.
  constexpr int64_t kTile = 64;
  const int64_t tiles = (y_hi - y_lo + kTile - 1) / kTile;
  ForRowBands(
      static_cast<int32_t>(tiles), (x_hi - x_lo) * (y_hi - y_lo), [&](int32_t a, int32_t b) {
        for (int64_t y0 = y_lo + a * kTile; y0 < std::min(y_hi, y_lo + b * kTile); y0 += kTile) {
          const int64_t y1 = std::min(y_hi, y0 + kTile), y4 = y0 + (y1 - y0) / 4 * 4;
          for (int64_t x0 = x_lo; x0 < x_hi; x0 += kTile) {
            const int64_t x1 = std::min(x_hi, x0 + kTile), x4 = x0 + (x1 - x0) / 4 * 4;
            by_blocks(x0, x4, y0, y4);
            one_by_one(x4, x1, y0, y4);
            one_by_one(x0, x1, y4, y1);
          }
        }
      });
}

}  // namespace

void CopyRows(Bitmap& dst, const Bitmap& src, const RowCopy& copy) {
  Prepare(dst, src, copy.width == dst.width() && copy.height == dst.height());
  ForRowBands(copy.height, int64_t{copy.height} * copy.width, [&](int32_t a, int32_t b) {
    for (int64_t m = a; m < b; ++m) CopyRow(dst, src, copy, m, 0, copy.width);
  });
}

void CopyRowsArea(Bitmap& dst, const Bitmap& src, const RowCopy& copy, PixelRect area) {
  // Source column src_x + k lands in column x + dx * k: the k whose column is in the area.
  const Run cols =
      ClipRun(copy.x - area.left, copy.dx, area.right - area.left, 0, copy.width, copy.width);
  const Run rows =
      ClipRun(copy.y - area.top, copy.dy, area.bottom - area.top, 0, copy.height, copy.height);
  if (cols.count == 0 || rows.count == 0) return;
  src.SettleArea(static_cast<int32_t>(copy.src_x + cols.skip),
                 static_cast<int32_t>(copy.src_y + rows.skip), static_cast<int32_t>(cols.count),
                 static_cast<int32_t>(rows.count));
  for (int64_t m = rows.skip; m < rows.skip + rows.count; ++m) {
    CopyRow(dst, src, copy, m, cols.skip, cols.count);
  }
}

bool PlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height) {
  if (&dst == &src || width <= 0 || height <= 0) {
    return ReferencePlgBltPixels(dst, corners, src, src_x, src_y, width, height);
  }
  const Point p1 = corners[0], p2 = corners[1], p3 = corners[2];
  const int64_t ux = int64_t{p2.x} - p1.x, uy = int64_t{p2.y} - p1.y;
  const int64_t vx = int64_t{p3.x} - p1.x, vy = int64_t{p3.y} - p1.y;
  if (uy == 0 && vx == 0 && std::abs(ux) == width && std::abs(vy) == height) {
    CopyOrMirror(dst, p1, ux > 0 ? 1 : -1, vy > 0 ? 1 : -1, src, src_x, src_y, width, height);
    return true;
  }
  if (ux == 0 && vy == 0 && std::abs(uy) == width && std::abs(vx) == height) {
    // Centre (X + ½, Y + ½) maps back to column (Y − P1.y) or (P1.y − Y − 1), and to row
    // (X − P1.x) or (P1.x − X − 1): see pixel_conventions.md.
    const int64_t col_step = uy > 0 ? 1 : -1, row_step = vx > 0 ? 1 : -1;
    const int64_t col_at_0 = uy > 0 ? -int64_t{p1.y} : int64_t{p1.y} - 1;
    const int64_t row_at_0 = vx > 0 ? -int64_t{p1.x} : int64_t{p1.x} - 1;
    Transpose(dst, col_at_0, col_step, row_at_0, row_step, src, src_x, src_y, width, height);
    return true;
  }
  return ReferencePlgBltPixels(dst, corners, src, src_x, src_y, width, height);
}

void BitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  const Bitmap& src, int32_t src_x, int32_t src_y) {
  const Run cols = ClipRun(x, 1, dst.width(), src_x, src.width(), width);
  const Run rows = ClipRun(y, 1, dst.height(), src_y, src.height(), height);
  if (cols.count == 0 || rows.count == 0) return;
  if (&dst == &src) {
    (void)dst.data();
  } else {
    const auto left = static_cast<int32_t>(x + cols.skip),
               top = static_cast<int32_t>(y + rows.skip);
    PrepareTargetArea(dst, {left, top, static_cast<int32_t>(left + cols.count),
                            static_cast<int32_t>(top + rows.count)});
    // A source with a draw still pending works out the copied area only.
    src.SettleArea(static_cast<int32_t>(src_x + cols.skip), static_cast<int32_t>(src_y + rows.skip),
                   static_cast<int32_t>(cols.count), static_cast<int32_t>(rows.count));
  }
  // Overlapping rows of one bitmap: walk away from the overlap.
  const bool upward = &dst == &src && y > src_y;
  for (int64_t i = 0; i < rows.count; ++i) {
    const int64_t m = rows.skip + (upward ? rows.count - 1 - i : i);
    std::memmove(dst.RawRow(static_cast<int32_t>(y + m)) + x + cols.skip,
                 src.RawRowConst(static_cast<int32_t>(src_y + m)) + src_x + cols.skip,
                 cols.count * sizeof(uint32_t));
  }
}

}  // namespace platform
