#include "platform/imageio/output_rows.h"

#include <algorithm>
#include <vector>

#include "platform/pixels/evaluator.h"

namespace platform {

namespace {

// A premultiplied channel back to straight: the nearest value that premultiplies to it.
inline uint8_t Straight(uint32_t channel, uint32_t alpha) {
  if (alpha == 0) return 0;
  const uint32_t value = (channel * 255 + alpha / 2) / alpha;
  return static_cast<uint8_t>(std::min<uint32_t>(value, 255));
}

}  // namespace

int BytesPerSample(Samples samples) {
  return samples == Samples::kRgb ? 3 : 4;
}

void ConvertRow(const uint32_t* pixels, int32_t width, Samples samples, uint8_t* out) {
  // Invariant: out holds width * BytesPerSample(samples) bytes; pixels are premultiplied
  // ARGB, so an opaque pixel's channels are already its straight ones.
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t p = pixels[x];
    const uint32_t a = p >> 24;
    uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (a != 255 && samples != Samples::kRgb) {
      r = Straight(r, a);
      g = Straight(g, a);
      b = Straight(b, a);
    }
    switch (samples) {
      case Samples::kRgb:
        out[0] = static_cast<uint8_t>(r), out[1] = static_cast<uint8_t>(g);
        out[2] = static_cast<uint8_t>(b);
        out += 3;
        break;
      case Samples::kRgba:
        out[0] = static_cast<uint8_t>(r), out[1] = static_cast<uint8_t>(g);
        out[2] = static_cast<uint8_t>(b), out[3] = static_cast<uint8_t>(a);
        out += 4;
        break;
      case Samples::kBgra:
      case Samples::kBgrx:
        out[0] = static_cast<uint8_t>(b), out[1] = static_cast<uint8_t>(g);
        out[2] = static_cast<uint8_t>(r), out[3] = static_cast<uint8_t>(a);
        out += 4;
        break;
    }
  }
}

void ForEachOutputRow(const OutputPicture& picture, Samples samples,
                      const std::function<void(int32_t, const uint8_t*)>& row) {
  std::vector<uint8_t> converted(static_cast<size_t>(picture.width()) * BytesPerSample(samples));
  RealizeStrips(picture.image, picture.area, kOutputStripRows,
                [&](int32_t top, ConstPixelView strip) {
                  for (int32_t y = 0; y < strip.height; ++y) {
                    if (samples == Samples::kBgrx) {
                      row(top + y, reinterpret_cast<const uint8_t*>(strip.row(y)));
                    } else {
                      ConvertRow(strip.row(y), strip.width, samples, converted.data());
                      row(top + y, converted.data());
                    }
                  }
                });
}

}  // namespace platform
