// A bitmap shown smaller than it is: drawn, filtered, from copies of its source at half,
// a quarter, ... of its size (a pyramid), so that showing a large picture whole costs
// what the shown pixels cost, not what the picture's do.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/pixels/bitmap.h"

namespace platform {

// Half the size, each pixel the average of the 2 x 2 it covers (fewer at an odd edge).
// Averaging premultiplied pixels is the area filter: colours weigh by their coverage.
Bitmap HalfSize(ConstPixelView source);
// The same into `out`, as much of it as `out` holds.
void HalfSizeInto(PixelView out, ConstPixelView source);

// The reduced copies of one bitmap, made when first asked for and kept while the bitmap
// stands for the same pixels.
class Pyramid {
 public:
  // `source` at 1 / 2^level of its size; level 0 is the source itself. A level past the
  // last (one pixel) gives the last, and `level` says which it gave.
  ConstPixelView Level(const Bitmap& source, int& level);
  // Room for drawing a reduced view in, kept from one view to the next.
  PixelView Scratch(int32_t width, int32_t height);

 private:
  uint64_t stamp_ = 0;
  std::vector<Bitmap> levels_;  // levels_[i] is level i + 1
  Bitmap scratch_;
};

// Draws `shown` reduced by `scale` (0 < scale <= 1) into `out`, which is at least
// ceil(scale * width) x ceil(scale * height). A transformed draw pending on `shown` is
// drawn from its source's reduced copies without being carried out; anything else is
// drawn from `shown`'s own. It is drawn at twice the size from the smallest level that
// keeps a pixel for each of those, bilinearly, then halved.
void DrawReduced(PixelView out, const Bitmap& shown, double scale, Pyramid& pyramid);

}  // namespace platform
