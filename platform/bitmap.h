// The pixel store behind every persistent image and loaded picture.
// Pixels are 32-bit premultiplied ARGB (0xAARRGGBB), rows packed top to bottom with no
// padding: pixel (x, y) is pixels[y * width + x]. See pixel_conventions.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Colours as the window description writes them: 0x00BBGGRR, 0 is black.
using OleColor = uint32_t;

uint32_t PixelFromOleColor(OleColor color);
OleColor OleColorFromPixel(uint32_t pixel);

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int32_t width, int32_t height, uint32_t fill);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  uint32_t* row(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* row(int32_t y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  uint32_t* data() { return pixels_.data(); }
  const uint32_t* data() const { return pixels_.data(); }
  uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }

  // Changes the size, keeping the pixels of the area both sizes share and filling the
  // rest with `fill`. Memory is kept when the bitmap shrinks, so shrinking and growing
  // back does not allocate. Raises the out-of-memory error, saying how much was needed,
  // before allocating anything when the size is beyond what the machine can hold.
  void Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner);
  void Fill(uint32_t pixel);

  // Bytes a bitmap of this size would take; the limit Resize enforces.
  static uint64_t BytesFor(int64_t width, int64_t height);
  static uint64_t ByteLimit();

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint32_t> pixels_;
};

}  // namespace platform
