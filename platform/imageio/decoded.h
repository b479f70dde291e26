// A picture as a decoder hands it over, before colour management: its samples in one of
// a few layouts, the colour profile it carries and how it must be turned to stand upright.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
  std::vector<uint8_t> samples;  // rows packed, no padding
  std::string icc;               // the embedded profile's bytes; empty: sRGB
  int orientation = 1;           // EXIF's 1 to 8; 1 upright

  int BytesPerPixel() const { return layout == Layout::kGray ? 1 : 4; }
};

}  // namespace platform
