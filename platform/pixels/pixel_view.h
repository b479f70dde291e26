// Views of pixels: where a rectangle of 32-bit pixels lies in memory. Kernels read and
// write views and know nothing else of the image behind them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// `height` rows of `width` pixels, each row `stride` pixels after the one above.
struct PixelView {
  uint32_t* pixels = nullptr;
  int64_t stride = 0;
  int32_t width = 0, height = 0;

  uint32_t* row(int32_t y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
};

struct ConstPixelView {
  const uint32_t* pixels = nullptr;
  int64_t stride = 0;
  int32_t width = 0, height = 0;

  ConstPixelView() = default;
  ConstPixelView(const uint32_t* p, int64_t s, int32_t w, int32_t h)
      : pixels(p), stride(s), width(w), height(h) {}
  // NOLINTNEXTLINE(google-explicit-constructor): a writable view is readable too.
  ConstPixelView(const PixelView& view)
      : pixels(view.pixels), stride(view.stride), width(view.width), height(view.height) {}

  const uint32_t* row(int32_t y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
  uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }
  bool empty() const { return width == 0 || height == 0; }
};

}  // namespace platform
