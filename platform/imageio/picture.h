// A loaded picture (what a surface's Picture holds) and the loader.
#pragma once

#include <memory>
#include <string>

#include "platform/pixels/bitmap.h"

namespace platform {

class Picture {
 public:
  Picture() = default;
  explicit Picture(std::shared_ptr<const Bitmap> pixels) : pixels_(std::move(pixels)) {}

  bool empty() const { return pixels_ == nullptr; }
  const Bitmap& pixels() const { return *pixels_; }
  int32_t WidthPixels() const { return pixels_ ? pixels_->width() : 0; }
  int32_t HeightPixels() const { return pixels_ ? pixels_->height() : 0; }
  // Size in HiMetric (0.01 mm), whole numbers.
  int32_t Width() const;
  int32_t Height() const;

 private:
  std::shared_ptr<const Bitmap> pixels_;
};

// HiMetric for a whole number of pixels at 96 dots per inch, rounded.
int32_t HiMetricFromPixels(int32_t pixels);

// Pictures larger than this many pixels are refused before anything is decoded.
inline constexpr int64_t kMaxPicturePixels = int64_t{256} * 1024 * 1024;

// Reads a picture in any format the toolkit can decode, told by its content, not its
// name; a picture with an orientation tag comes out upright. Raises, naming the path:
// file not found (53), not readable or not a file (75), not a picture or damaged (481),
// too large (7).
Picture LoadPicture(const std::string& path);

}  // namespace platform
