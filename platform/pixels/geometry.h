// Whole-pixel positions and rectangles, y downward (see pixel_conventions.md).
#pragma once

#include <cstdint>

namespace platform {

// A whole-pixel position.
struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Pixels x in [left, right), y in [top, bottom).
struct PixelRect {
  int32_t left, top, right, bottom;
};

// A size in whole pixels.
struct PixelSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

}  // namespace platform
