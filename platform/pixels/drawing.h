// The drawing operations on bitmaps behind the drawing calls: each makes a new image over
// the target's (image.h) and works nothing out; the evaluator makes the pixels when they
// are asked for. Each comes in two versions: the fast one, and the reference the tests
// hold it to, which draws there and then with the slow kernels on stored pixels.
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
// or an empty source rectangle. A copy, mirror or quarter turn at the picture's own size
// becomes a node; any other parallelogram is drawn by the reference kernel.
bool PlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height);
bool ReferencePlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                           int32_t src_y, int32_t width, int32_t height);

// The block copy: copies only the pixels present on both bitmaps. `dst` and `src` may be
// the same bitmap. Copies from one source, one after another, make one paste.
void BitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  const Bitmap& src, int32_t src_x, int32_t src_y);
void ReferenceBitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                           const Bitmap& src, int32_t src_x, int32_t src_y);

// A copy or mirror of rows (see RowCopy).
void CopyRows(Bitmap& dst, const Bitmap& src, const RowCopy& copy);

// The transformed draw: `src` (whole) through `src_to_dst`, bilinear, coverage at the
// edges, composited over `dst`.
void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);
void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst);

// `picture` composited over `dst` with its top-left corner at (x, y).
void CompositePixels(Bitmap& dst, const Bitmap& picture, int32_t x, int32_t y);

}  // namespace platform
