// What becomes of the outside of a turned picture (the corners of its bounding box that
// the picture does not cover) when it is written out: kept black, made transparent, or
// cut away by the straighten crop.
//
// Both work from the turn's coverage: the same turn carried out on an opaque white
// picture of the same size over the same black, so that each pixel's red channel is how
// much of it the turned picture covers (255 inside, 0 outside, between on the outline).
#pragma once

#include <cstdint>

#include "platform/pixels/bitmap.h"
#include "platform/pixels/geometry.h"

namespace app {

// `turned` (the picture turned over black) with each pixel's alpha its coverage: the
// outside transparent, the outline partly. Drawn over black a pixel was colour x c, which
// is already its premultiplied value at alpha c; only rounding is clamped.
platform::Bitmap WithCoverageAsAlpha(const platform::Bitmap& turned,
                                     const platform::Bitmap& coverage);

// The straighten crop's size for a `width` x `height` picture turned by `degrees`: the
// largest upright rectangle with the turned picture's own aspect ratio inside it. The
// angle is taken from the nearest right angle (so 89 degrees is a portrait tilted by 1,
// and the sides swap past 45), and then k = min(W / (W cos a + H sin a),
// H / (W sin a + H cos a)). At right angles: the whole picture. Rounded down.
platform::PixelSize StraightenCropSize(int32_t width, int32_t height, double degrees);

// The straighten crop of a turned picture whose coverage is `coverage`: `size` centred
// on the coverage bitmap, made smaller a pixel on each side at a time until no pixel in
// it is outside the picture or on its blended outline. Empty when nothing is left.
platform::PixelRect StraightenCrop(const platform::Bitmap& coverage, platform::PixelSize size);

}  // namespace app
