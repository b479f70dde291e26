#include "platform/imageio/output_rows.h"

#include <algorithm>

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

ConstPixelView WorkOut(const OutputPicture& picture) {
  const PixelRect a = picture.area;
  const Bitmap& pixels = *picture.pixels;
  if (a.left == 0 && a.top == 0 && a.right == pixels.width() && a.bottom == pixels.height()) {
    return pixels.Read();
  }
  return pixels.ReadArea(a);
}

OutputRows::OutputRows(const OutputPicture& picture, Samples samples)
    : picture_(picture),
      samples_(samples),
      pixels_(WorkOut(picture)),
      converted_(samples == Samples::kBgrx
                     ? 0
                     : static_cast<size_t>(picture.width()) * BytesPerSample(samples)) {}

const uint8_t* OutputRows::Next() {
  if (y_ >= picture_.height()) return nullptr;
  const uint32_t* pixels = pixels_.row(picture_.area.top + y_) + picture_.area.left;
  ++y_;
  if (samples_ == Samples::kBgrx) return reinterpret_cast<const uint8_t*>(pixels);
  ConvertRow(pixels, picture_.width(), samples_, converted_.data());
  return converted_.data();
}

void ForEachOutputRow(const OutputPicture& picture, Samples samples,
                      const std::function<void(int32_t, const uint8_t*)>& row) {
  OutputRows rows(picture, samples);
  int32_t y = 0;
  while (const uint8_t* samples_of_row = rows.Next()) row(y++, samples_of_row);
}

}  // namespace platform
