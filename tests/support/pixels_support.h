// Test helpers that need no toolkit: pictures made in memory, image comparison that names
// the first difference, a recording tracer, and a surface of plain pixels for the drawing
// calls.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/base/trace.h"
#include "platform/gdi/surface.h"
#include "platform/pixels/affine.h"
#include "platform/pixels/bitmap.h"

namespace testing_support {

// Each pixel different: 0xFF, then y in 12 bits, x in 12 bits (sizes below 4096).
platform::Bitmap Numbered(int32_t width, int32_t height);
// A smooth colour gradient with a little fixed-seed noise, opaque.
platform::Bitmap Photo(int32_t width, int32_t height, uint32_t seed = 1);
// Premultiplied pixels whose alpha changes from pixel to pixel.
platform::Bitmap Translucent(int32_t width, int32_t height);
// A turn by `degrees` (clockwise on screen, y down), then a shift by (dx, dy).
platform::Affine Turn(double degrees, double dx, double dy);
// Sets one pixel.
void Put(platform::Bitmap& bitmap, int32_t x, int32_t y, uint32_t pixel);

// First difference between two bitmaps, "" when equal.
std::string FirstDifference(const platform::Bitmap& a, const platform::Bitmap& b);
// Largest difference of any 8-bit channel over pixels where `mask(x, y)` holds.
template <typename Mask>
int MaxChannelDifference(const platform::Bitmap& a, const platform::Bitmap& b, Mask mask) {
  const platform::ConstPixelView pa = a.Read(), pb = b.Read();
  int worst = 0;
  for (int32_t y = 0; y < pa.height; ++y) {
    for (int32_t x = 0; x < pa.width; ++x) {
      if (!mask(x, y)) continue;
      for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((pa.at(x, y) >> shift) & 0xFF) -
                      static_cast<int>((pb.at(x, y) >> shift) & 0xFF);
        worst = std::max(worst, d < 0 ? -d : d);
      }
    }
  }
  return worst;
}

// The standard CRC-32 of PNG and zip, for writing picture files by hand.
uint32_t Crc32(const std::string& bytes);

class RecordingTracer : public platform::Tracer {
 public:
  RecordingTracer() { platform::InstallTracer(this); }
  ~RecordingTracer() override { platform::InstallTracer(nullptr); }
  void Record(const std::string& line) override { lines.push_back(line); }
  // Lines whose "call" is `call`.
  std::vector<std::string> Calls(const std::string& call) const;
  // The "call" names in order.
  std::vector<std::string> Names() const;
  std::vector<std::string> lines;
};

// A surface that is nothing but its pixels and a name, for the drawing calls.
class PlainSurface : public platform::Surface, public platform::Window {
 public:
  explicit PlainSurface(std::string name, platform::Bitmap pixels = {})
      : name_(std::move(name)), pixels_(std::move(pixels)) {}
  const std::string& Name() const override { return name_; }
  platform::Bitmap& Pixels() override { return pixels_; }
  void PixelsChanged() override { ++changes; }
  void SetOuterSizePixels(int32_t width, int32_t height) override {
    pixels_.Resize(width, height, 0xFF000000, name_);
  }
  int changes = 0;

 private:
  std::string name_;
  platform::Bitmap pixels_;
};

}  // namespace testing_support
