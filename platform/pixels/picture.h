// A loaded picture: what a surface's Picture holds, and what the loader
// (platform/imageio/picture.h) hands over.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/pixels/bitmap.h"

namespace platform {

// What a picture file carried besides its pixels (EXIF, XMP, IPTC): opaque here, read
// and written by the file layer (platform/imageio/metadata.h).
struct MetadataBlocks;
// The coded data of the JPEG file a picture was decoded from, when it can be turned by
// right angles without decoding (platform/imageio/lossless_jpeg.h): opaque here too.
struct CodedJpeg;

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

  // The file's metadata travels with its pixels, so that what is saved from the picture
  // carries what this file said, whatever happens to the file after it was read.
  const std::shared_ptr<const MetadataBlocks>& metadata() const { return metadata_; }
  void SetMetadata(std::shared_ptr<const MetadataBlocks> metadata) {
    metadata_ = std::move(metadata);
  }
  // Kept for the same reason: a save turned by right angles turns the very data shown.
  const std::shared_ptr<const CodedJpeg>& coded() const { return coded_; }
  void SetCoded(std::shared_ptr<const CodedJpeg> coded) { coded_ = std::move(coded); }

 private:
  std::shared_ptr<const Bitmap> pixels_;
  bool opaque_ = false;
  std::shared_ptr<const MetadataBlocks> metadata_;
  std::shared_ptr<const CodedJpeg> coded_;
};

// HiMetric for a whole number of pixels at 96 dots per inch, rounded.
int32_t HiMetricFromPixels(int32_t pixels);

}  // namespace platform
