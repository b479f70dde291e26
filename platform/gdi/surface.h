// What the drawing calls see of a picture surface: its persistent image, its name (for
// the call trace and for reports) and a way to tell it that its pixels changed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/pixels/bitmap.h"
#include "platform/pixels/geometry.h"

namespace platform {

// Colours as the window description writes them: 0x00BBGGRR, 0 is black.
using OleColor = uint32_t;

// An opaque pixel of the colour, and back.
constexpr uint32_t PixelFromOleColor(OleColor color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

constexpr OleColor OleColorFromPixel(uint32_t pixel) {
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r | (g << 8) | (b << 16);
}

class Surface {
 public:
  virtual ~Surface() = default;
  virtual const std::string& Name() const = 0;
  virtual Bitmap& Pixels() = 0;
  // Called after a drawing call changed Pixels(): the surface repaints when the window's
  // pending events are next processed.
  virtual void PixelsChanged() = 0;
};

// Something with an outer size in pixels that SetWindowPos can change.
class Window {
 public:
  virtual ~Window() = default;
  virtual const std::string& Name() const = 0;
  virtual void SetOuterSizePixels(int32_t width, int32_t height) = 0;
};

// Handles, as the drawing calls take them. A device context and a bitmap handle both
// name a surface's persistent image.
using HDC = Surface*;
using HBITMAP = Surface*;
using HWND = Window*;

// The conversion every window and surface offers: value from one unit to another.
// Units: 1 twip, 2 point, 3 pixel, 5 inch, 6 millimetre, 7 centimetre, 8 HiMetric.
class Scaler {
 public:
  virtual ~Scaler() = default;
  virtual float ScaleX(float value, int from_unit, int to_unit) const = 0;
};

namespace scale_mode {
inline constexpr int kTwips = 1;
inline constexpr int kPoints = 2;
inline constexpr int kPixels = 3;
inline constexpr int kInches = 5;
inline constexpr int kMillimeters = 6;
inline constexpr int kCentimeters = 7;
inline constexpr int kHiMetric = 8;
}  // namespace scale_mode

inline constexpr double kTwipsPerPixel = 15.0;  // 96 dots per inch

// Twips in one unit of `mode`; raises the invalid-property-value error for a mode this
// program does not know.
double TwipsPerUnit(int mode);
float ConvertUnits(float value, int from_unit, int to_unit);

}  // namespace platform
