// The pixel operations behind the drawing calls, each in two versions: a fast one and a
// slow, obviously correct reference the tests hold the fast one to. The rules both follow
// are written down in pixel_conventions.md.
#pragma once

#include <cstdint>

#include "platform/pixels/affine.h"
#include "platform/pixels/bitmap.h"
#include "platform/pixels/geometry.h"

namespace platform {

// True when ANYTURN_REFERENCE=1 asked for the reference versions at start-up, or
// ChooseReferencePath(true) since.
bool UseReferencePath();
// Switches every drawing call to its reference version, or back.
void ChooseReferencePath(bool reference);

// Whether the kernels may use instructions chosen at run time (AVX2), or keep to the
// loops every x86-64 runs. On unless ANYTURN_NO_SIMD is set; tests compare both.
bool SimdAllowed();
void AllowSimd(bool allowed);

// The parallelogram blit. Returns false, drawing nothing, for a zero-area parallelogram
// or an empty source rectangle.
bool PlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height);
bool ReferencePlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                           int32_t src_y, int32_t width, int32_t height);

// The block copy: copies only the pixels present on both bitmaps. `dst` and `src` may be
// the same bitmap.
void BitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  const Bitmap& src, int32_t src_x, int32_t src_y);
void ReferenceBitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                           const Bitmap& src, int32_t src_x, int32_t src_y);

// A copy or mirror of rows (see RowCopy), clipped to both bitmaps: the whole of it, and
// the part that lands in one area of the target. Like DrawTransformedArea, the area
// version writes through RawRow and leaves whatever is pending on the target alone.
void CopyRows(Bitmap& dst, const Bitmap& src, const RowCopy& copy);
void CopyRowsArea(Bitmap& dst, const Bitmap& src, const RowCopy& copy, PixelRect area);

// The transformed draw: `src` (whole) through `src_to_dst`, bilinear, coverage at the edges,
// composited over `dst`. `dst` and `src` must be different bitmaps.
void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);
void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);

// The transformed draw over one area of the target only, giving there exactly the pixels
// DrawTransformedPixels gives. It writes through RawRow and leaves whatever is pending on
// the target alone: a bitmap uses it to work out an area of a draw it has deferred.
void DrawTransformedArea(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst, PixelRect area);
// The area of `src` that DrawTransformedArea reads, and works out first, for `area`.
PixelRect DrawSourceArea(const Bitmap& src, const Affine& src_to_dst, PixelRect area);

// One target pixel of the transformed draw, exactly as the reference computes it.
// `dst_to_src` is the inverse map; the fast version uses it for the picture's edges.
void ReferenceDrawPixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src, int32_t x,
                        int32_t y);
// The same, with the map's scales across the source's edges worked out once per draw.
struct EdgeScale {
  double gu, gv;  // source units per target pixel, across the u and v edges
};
EdgeScale EdgeScales(const Affine& dst_to_src);
void ReferenceDrawPixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src,
                        EdgeScale scale, int32_t x, int32_t y);
// The fast path's twin of the above: the same pixel, bit for bit. `src` must have
// nothing pending.
void DrawEdgePixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src, EdgeScale scale,
                   int32_t x, int32_t y);

}  // namespace platform
