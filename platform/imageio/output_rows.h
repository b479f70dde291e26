// The pixels an encoder writes, handed over a row at a time in the samples it wants.
//
// The picture is an area of a bitmap whose pending work (a turn not yet carried out) is
// done for the whole area at once, over all cores, before the first row is handed over:
// measured, that is several times faster than working out band after band alongside the
// encoder. Rows are converted one at a time: no converted copy of the picture is made.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/pixels/bitmap.h"
#include "platform/pixels/geometry.h"

namespace platform {

enum class Samples {
  kBgrx,  // the store's own bytes (B G R A, alpha ignored): opaque pictures only
  kRgb,   // 3 bytes a pixel
  kRgba,  // 4 bytes a pixel, straight alpha
  kBgra,  // 4 bytes a pixel, straight alpha
};

int BytesPerSample(Samples samples);

struct OutputPicture {
  const Bitmap* pixels = nullptr;  // premultiplied, as the program keeps them
  PixelRect area{};                // what is written
  bool alpha = false;              // keep transparency; without it, alpha is ignored

  int32_t width() const { return area.right - area.left; }
  int32_t height() const { return area.bottom - area.top; }
};

// The picture's pixels worked out, as a view of its area alone (its row 0 the area's top
// row): the whole bitmap worked out in one pass when the area is all of it (much faster
// than area by area), only the area otherwise.
ConstPixelView WorkOut(const OutputPicture& picture);

// Calls `row(y, samples)` for y = 0 .. height - 1 in order; `samples` is valid during the
// call only. kBgrx hands over the store's own rows, without a copy.
void ForEachOutputRow(const OutputPicture& picture, Samples samples,
                      const std::function<void(int32_t, const uint8_t*)>& row);

// One row of premultiplied pixels as `samples` (not kBgrx). Exposed for tests.
void ConvertRow(const uint32_t* pixels, int32_t width, Samples samples, uint8_t* out);

}  // namespace platform
