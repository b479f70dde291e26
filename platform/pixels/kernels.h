// The pixel kernels: loops over views (pixel_view.h) that read one view and write another.
// They know nothing of images or of threads: the evaluator (evaluator.h) hands each the
// pixels it reads (see the *SourceArea functions for what that is) and shares the rows out
// over the cores.
// Each kernel has a fast version and, where the two could differ, a slow and obviously
// correct reference (reference_kernels.cpp) that the tests hold it to. The rules both
// follow are in pixel_conventions.md.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/pixels/affine.h"
#include "platform/pixels/geometry.h"
#include "platform/pixels/pixel_view.h"

namespace platform {

// Whether the kernels may use instructions chosen at run time (AVX2), or keep to the
// loops every x86-64 runs. On unless ANYTURN_NO_SIMD is set; tests compare both.
bool SimdAllowed();
void AllowSimd(bool allowed);
// Whether the kernels' AVX2 versions run: the processor has it and SIMD is allowed.
bool HasAvx2();

// `area` (clipped to the view) takes `colour`; FillAll, the whole view.
void FillArea(PixelView dst, PixelRect area, uint32_t colour);
void FillAll(PixelView dst, uint32_t colour);

// Rows that stay rows: target (x + dx * k, y + dy * m) takes source (src_x + k, src_y + m)
// for k < width and m < height, with dx and dy each +1 or -1. A copy, or a mirror along
// either axis, already clipped to both views.
struct RowCopy {
  int32_t x, y, dx, dy;
  int32_t src_x, src_y, width, height;
};
// The part of the copy that lands in `area`, and the source pixels it reads.
void CopyRowsArea(PixelView dst, ConstPixelView src, const RowCopy& copy, PixelRect area);
PixelRect CopySourceArea(const RowCopy& copy, PixelRect area);
// All of it.
void CopyRowsAll(PixelView dst, ConstPixelView src, const RowCopy& copy);

// Rows that become columns, at the picture's own size (a turn by 90 or 270 degrees):
// target (X, Y) takes source (src_x + col_at_0 + col_step * Y, src_y + row_at_0 +
// row_step * X), steps +1 or -1, for the X and Y whose source pixel lies inside the
// rectangle (src_x, src_y, width, height) and inside the source view.
struct Transposition {
  int64_t col_at_0, col_step, row_at_0, row_step;
  int32_t src_x, src_y, width, height;
};
// The target pixels the transposition writes: empty when none.
PixelRect TransposedArea(const Transposition& t, ConstPixelView src, PixelView dst);
void Transpose(PixelView dst, ConstPixelView src, const Transposition& t);

// Copies width x height pixels from (src_x, src_y) to (x, y), rows in the order that keeps
// an overlapping copy within one view correct. The rectangle lies inside both views.
void CopyRect(PixelView dst, int32_t x, int32_t y, ConstPixelView src, int32_t src_x, int32_t src_y,
              int32_t width, int32_t height);

// The transformed draw of the whole of `src` through `src_to_dst`: bilinear, with coverage
// at the picture's edges, composited over the target's pixels in `area` (rows and columns
// outside it are not touched). With `clear`, the target's pixels in `area` are taken to be
// that colour instead of being read: the area is cleared and drawn in one pass. With
// `sharp` (a view in target coordinates, from SharpSamples), the pixels the picture covers
// take its samples instead of the bilinear blend; the outline stays as it is.
void DrawTransformed(PixelView dst, ConstPixelView src, const Affine& src_to_dst, PixelRect area,
                     std::optional<uint32_t> clear, ConstPixelView sharp = {});
// The pixels of a width x height source that drawing `area` reads.
PixelRect DrawSourceArea(int32_t width, int32_t height, const Affine& src_to_dst, PixelRect area);

// The sharp resampler of a turn (sharp.h): writes into `out` (a view in target
// coordinates) the sharp sample of every pixel of `area` the picture can reach, reading
// only SharpSourceArea's pixels of `src`. False, and nothing written, when `src_to_dst` is
// not a rotation and a shift.
bool SharpSamples(PixelView out, ConstPixelView src, const Affine& src_to_dst, PixelRect area);
PixelRect SharpSourceArea(int32_t width, int32_t height, const Affine& src_to_dst, PixelRect area);

// Source units per target pixel across the source's u and v edges: the coverage scale.
struct EdgeScale {
  double gu, gv;
};
EdgeScale EdgeScales(const Affine& dst_to_src);
// One target pixel of the transformed draw, composited over `target`; `dst_to_src` is the
// inverse map. The fast draw takes the picture's ragged edges from here, and the reference
// every pixel.
void DrawPixel(uint32_t& target, ConstPixelView src, const Affine& dst_to_src, EdgeScale scale,
               int32_t x, int32_t y);

// The reference versions.
bool ReferencePlgBlt(PixelView dst, const Point corners[3], ConstPixelView src, int32_t src_x,
                     int32_t src_y, int32_t width, int32_t height);
void ReferenceBitBlt(PixelView dst, int32_t x, int32_t y, int32_t width, int32_t height,
                     ConstPixelView src, int32_t src_x, int32_t src_y);
void ReferenceDrawTransformed(PixelView dst, ConstPixelView src, const Affine& src_to_dst);
// Each pixel of `area` straight from the three passes' definitions, in double precision.
bool ReferenceSharpSamples(PixelView out, ConstPixelView src, const Affine& src_to_dst,
                           PixelRect area);

}  // namespace platform
