// A place that holds an image (image.h): what a surface or a loaded picture has. Every
// change makes a new image over the old one, or a new one altogether; the old one stays
// as it was for whoever else holds it, so nothing that read this bitmap's image before is
// affected, and nothing needs working out when the image changes or goes.
//
// Pixels are 32-bit premultiplied ARGB (0xAARRGGBB), rows packed top to bottom: pixel
// (x, y) is at row y, column x of the views below. See pixel_conventions.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/pixels/geometry.h"
#include "platform/pixels/image.h"
#include "platform/pixels/pixel_view.h"

namespace platform {

class Bitmap {
 public:
  // The drawing kernels keep source positions in fixed point, which holds sides below this.
  static constexpr int32_t kMaxSide = int32_t{1} << 30;

  Bitmap();
  Bitmap(int32_t width, int32_t height, uint32_t fill);
  explicit Bitmap(Image image);

  int32_t width() const { return image_->width(); }
  int32_t height() const { return image_->height(); }
  bool empty() const { return width() == 0 || height() == 0; }

  // The image held now, and a new one in its place.
  const Image& image() const { return image_; }
  void Set(Image image) { image_ = std::move(image); }

  // All of the pixels, worked out by the evaluator when they are not stored yet (and
  // kept with the image). Valid while this bitmap holds the same image.
  ConstPixelView Read() const;
  uint32_t at(int32_t x, int32_t y) const { return Read().at(x, y); }

  // The pixels to write: the image becomes stored pixels of this bitmap's own, copied
  // first when anything else holds them.
  PixelView Write();
  // For a caller that writes every pixel itself: a solid image is handed over as `clear`
  // (the colour the caller's pixels are to be taken over) and nothing is written first.
  struct Overwrite {
    PixelView pixels;
    std::optional<uint32_t> clear;
  };
  Overwrite WriteAll();

  // Every pixel becomes `pixel`.
  void Fill(uint32_t pixel);
  // The colour, when the image is one colour everywhere.
  std::optional<uint32_t> PendingFill() const { return image_->Colour(); }
  // The image's serial: something made from the pixels is current while it is unchanged.
  uint64_t Stamp() const { return image_->Serial(); }

  // Changes the size, keeping the pixels of the area both sizes share and filling the
  // rest with `fill`. Raises the out-of-memory error, saying how much was needed, when the
  // size is beyond what the machine can hold.
  void Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner);
  // Raises the out-of-memory error, naming `owner` and the megabytes needed, when a
  // surface cannot take the size: beyond what one surface may use, or more than the
  // machine (and the limits set on this process) can still give.
  void CheckFits(int32_t width, int32_t height, const std::string& owner) const;
  // Bytes a bitmap of this size would take; the limit Resize enforces.
  static uint64_t BytesFor(int64_t width, int64_t height);
  static uint64_t ByteLimit();

 private:
  Image image_;
};

}  // namespace platform
