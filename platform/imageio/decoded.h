// A picture as a decoder hands it over, before colour management: its samples in one of
// a few layouts, the colour profile it carries and how it must be turned to stand upright.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pixels/bitmap.h"

namespace platform {

struct Decoded {
  enum class Layout {
    kBgra,          // 4 bytes a pixel, B G R A (straight alpha): ARGB32 in memory
    kGray,          // 1 byte a pixel
    kCmyk,          // 4 bytes a pixel, 0 = no ink
    kCmykInverted,  // 4 bytes a pixel, 255 = no ink (Adobe's JPEGs)
  };
  int32_t width = 0, height = 0;
  Layout layout = Layout::kBgra;
  // Rows packed, no padding: four bytes a pixel in a bitmap's own store, so that an
  // upright sRGB picture becomes the program's bitmap without a copy; grey in `grey`.
  Bitmap four;
  std::vector<uint8_t> grey;
  std::string icc;             // the embedded profile's bytes; empty: sRGB
  int orientation = 1;         // EXIF's 1 to 8; 1 upright
  bool premultiplied = false;  // kBgra already premultiplied (and then in sRGB)
  bool opaque = false;         // known to have full alpha everywhere (a JPEG)

  int BytesPerPixel() const { return layout == Layout::kGray ? 1 : 4; }
  // Room for width x height samples of the layout, and their first byte.
  uint8_t* Allocate(const std::string& path) {
    if (layout == Layout::kGray) {
      grey.assign(static_cast<size_t>(width) * height, 0);
      return grey.data();
    }
    four.Resize(width, height, 0, path);
    return Samples();
  }
  uint8_t* Samples() {
    return layout == Layout::kGray ? grey.data()
                                   : reinterpret_cast<uint8_t*>(four.WriteAll().pixels.pixels);
  }
};

}  // namespace platform
