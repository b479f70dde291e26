// The drawing operations on bitmaps behind the drawing calls: each readies its bitmaps
// (what it reads worked out, what it writes released by its readers), holds its work back
// where it can (pending.h), and runs a kernel (kernels.h). Each comes in two versions: a
// fast one and the reference the tests hold it to.
#pragma once

#include <cstdint>

#include "platform/pixels/affine.h"
#include "platform/pixels/bitmap.h"
#include "platform/pixels/geometry.h"
#include "platform/pixels/kernels.h"

namespace platform {

// True when ANYTURN_REFERENCE=1 asked for the reference versions at start-up, or
// ChooseReferencePath(true) since.
bool UseReferencePath();
// Switches every drawing call to its reference version, or back.
void ChooseReferencePath(bool reference);

// The parallelogram blit. Returns false, drawing nothing, for a zero-area parallelogram
// or an empty source rectangle. A copy or mirror at the picture's own size onto a bitmap
// whose clear is pending is held back (DeferCopy).
bool PlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height);
bool ReferencePlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                           int32_t src_y, int32_t width, int32_t height);

// The block copy: copies only the pixels present on both bitmaps. `dst` and `src` may be
// the same bitmap. Onto a pending draw, only the copied area is worked out first.
void BitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  const Bitmap& src, int32_t src_x, int32_t src_y);
void ReferenceBitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                           const Bitmap& src, int32_t src_x, int32_t src_y);

// A copy or mirror of rows (see RowCopy), made now.
void CopyRows(Bitmap& dst, const Bitmap& src, const RowCopy& copy);

// The transformed draw, made now: `src` (whole) through `src_to_dst`, bilinear, coverage at
// the edges, composited over `dst`, with a pending clear of `dst` folded into the pass.
// `dst` and `src` must be different bitmaps.
void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);
void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);

}  // namespace platform
