// The pixels an encoder writes, handed over a row at a time in the samples it wants.
//
// The picture is an area of an image, worked out by the evaluator strip by strip as the
// encoder takes it: a turned picture is written without ever being held whole. Rows are
// converted one at a time: no converted copy of the picture is made.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/pixels/image.h"
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
  Image image;                     // premultiplied, as the program keeps them
  PixelRect area{};                // what is written
  bool alpha = false;              // keep transparency; without it, alpha is ignored

  int32_t width() const { return area.right - area.left; }
  int32_t height() const { return area.bottom - area.top; }
};

// Rows the row-by-row encoders take from the evaluator at a time.
inline constexpr int32_t kOutputStripRows = 64;

// Calls `row(y, samples)` for y = 0 .. height - 1 in order; `samples` is valid during the
// call only. kBgrx hands over the worked-out rows themselves, without a copy.
void ForEachOutputRow(const OutputPicture& picture, Samples samples,
                      const std::function<void(int32_t, const uint8_t*)>& row);

// One row of premultiplied pixels as `samples` (not kBgrx). Exposed for tests.
void ConvertRow(const uint32_t* pixels, int32_t width, Samples samples, uint8_t* out);

}  // namespace platform
