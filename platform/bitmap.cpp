#include "platform/bitmap.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/error.h"
#include "platform/parallel.h"

namespace platform {

uint32_t PixelFromOleColor(OleColor color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

OleColor OleColorFromPixel(uint32_t pixel) {
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r | (g << 8) | (b << 16);
}

Bitmap::Bitmap(int32_t width, int32_t height, uint32_t fill) { Resize(width, height, fill, {}); }

uint64_t Bitmap::BytesFor(int64_t width, int64_t height) {
  return static_cast<uint64_t>(std::max<int64_t>(width, 0)) *
         static_cast<uint64_t>(std::max<int64_t>(height, 0)) * sizeof(uint32_t);
}

uint64_t Bitmap::ByteLimit() {
  // Half the machine's memory for one surface: four surfaces of a large turn must fit
  // together, and a request beyond this is a mistake or a hostile file, not a photo.
  static const uint64_t limit = [] {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page <= 0) return uint64_t{1} << 31;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page) / 2;
  }();
  return limit;
}

void Bitmap::Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const uint64_t bytes = BytesFor(width, height);
  if (bytes > ByteLimit()) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: a picture surface of " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels needs " +
                    std::to_string(bytes / (1024 * 1024)) + " MB, more than the " +
                    std::to_string(ByteLimit() / (1024 * 1024)) + " MB one surface may use",
                owner);
  }
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (pending_ && pending_colour_ == fill) {  // still one colour: nothing to move
    pixels_.resize(std::max(pixels_.size(), count));
    width_ = width;
    height_ = height;
    return;
  }
  Settle();
  const int32_t keepW = std::min(width, width_), keepH = std::min(height, height_);
  if (width > width_) {
    pixels_.resize(std::max(pixels_.size(), count));
    // Rows move to higher addresses: walk bottom-up so no row is overwritten before it moves.
    for (int32_t y = keepH - 1; y >= 0; --y) {
      uint32_t* to = pixels_.data() + static_cast<size_t>(y) * width;
      std::memmove(to, pixels_.data() + static_cast<size_t>(y) * width_, keepW * sizeof(uint32_t));
      std::fill(to + keepW, to + width, fill);
    }
  } else {
    // Rows move to lower addresses (or stay): walk top-down.
    for (int32_t y = 0; y < keepH; ++y) {
      std::memmove(pixels_.data() + static_cast<size_t>(y) * width,
                   pixels_.data() + static_cast<size_t>(y) * width_, keepW * sizeof(uint32_t));
      uint32_t* to = pixels_.data() + static_cast<size_t>(y) * width;
      std::fill(to + keepW, to + width, fill);
    }
    pixels_.resize(std::max(pixels_.size(), count));
  }
  std::fill(pixels_.data() + static_cast<size_t>(keepH) * width, pixels_.data() + count, fill);
  width_ = width;
  height_ = height;
}

void Bitmap::Fill(uint32_t pixel) {
  pending_ = true;
  pending_colour_ = pixel;
}

void Bitmap::Materialize() const {
  pending_ = false;
  uint32_t* pixels = pixels_.data();
  const int32_t width = width_;
  const uint32_t colour = pending_colour_;
  ForRowBands(height_, int64_t{width_} * height_, [=](int32_t first, int32_t last) {
    std::fill(pixels + static_cast<size_t>(first) * width, pixels + static_cast<size_t>(last) * width, colour);
  });
}

}  // namespace platform
