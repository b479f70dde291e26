// The pixel operations behind the drawing calls, each in two versions: a fast one and a
// slow, obviously correct reference the tests hold the fast one to. The rules both follow
// are written down in pixel_conventions.md.
#pragma once

#include <cstdint>

#include "platform/affine.h"
#include "platform/bitmap.h"
#include "platform/surface.h"

namespace platform {

// True when ANYTURN_REFERENCE=1 asks for the reference versions (read at every call).
bool UseReferencePath();

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

// The transformed draw: `src` (whole) through `src_to_dst`, bilinear, coverage at the edges,
// composited over `dst`. `dst` and `src` must be different bitmaps.
void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);
void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);

// One target pixel of the transformed draw, exactly as the reference computes it.
// `dst_to_src` is the inverse map; the fast version uses it for the picture's edges.
void ReferenceDrawPixel(uint32_t& target, const Bitmap& src, const Affine& dst_to_src, int32_t x,
                        int32_t y);

}  // namespace platform
