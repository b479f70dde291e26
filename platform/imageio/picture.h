// A loaded picture (what a surface's Picture holds) and the loader.
#pragma once

#include <memory>
#include <string>

#include "platform/imageio/limits.h"
#include "platform/pixels/bitmap.h"

namespace platform {

class Picture {
 public:
  Picture() = default;
  // `opaque`: every pixel is known to have full alpha.
  explicit Picture(std::shared_ptr<const Bitmap> pixels, bool opaque = false)
      : pixels_(std::move(pixels)), opaque_(opaque) {}

  bool empty() const { return pixels_ == nullptr; }
  const Bitmap& pixels() const { return *pixels_; }
  // Known to have no transparent or translucent pixel: drawn over anything, it replaces it.
  bool opaque() const { return opaque_; }
  int32_t WidthPixels() const { return pixels_ ? pixels_->width() : 0; }
  int32_t HeightPixels() const { return pixels_ ? pixels_->height() : 0; }
  // Size in HiMetric (0.01 mm), whole numbers.
  int32_t Width() const;
  int32_t Height() const;

 private:
  std::shared_ptr<const Bitmap> pixels_;
  bool opaque_ = false;
};

// HiMetric for a whole number of pixels at 96 dots per inch, rounded.
int32_t HiMetricFromPixels(int32_t pixels);

// Reads a picture in any format the program knows (JPEG, HEIC and AVIF through their
// own libraries, the rest through the toolkit's readers), told by its content, not its
// name. It comes out upright and in sRGB, premultiplied. `path` is the file name's bytes,
// whatever their encoding. Raises, naming the path: file not found (53), not readable or
// not a file (75), not a picture, damaged or cut short (481), too large (7).
Picture LoadPicture(const std::string& path);

// Starts reading `path` on a thread of its own when it is a JPEG, so that the program's
// own start (the toolkit's) and the decoding overlap; the next LoadPicture of the same
// path takes the result, errors included, exactly as it would have read it itself. Any
// other file is left to LoadPicture.
void PrefetchPicture(const std::string& path);

}  // namespace platform
