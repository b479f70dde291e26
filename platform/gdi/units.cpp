#include "platform/base/error.h"
#include "platform/base/runtime.h"
#include "platform/gdi/surface.h"

namespace platform {

double TwipsPerUnit(int mode) {
  switch (mode) {
    case scale_mode::kTwips:
      return 1.0;
    case scale_mode::kPoints:
      return 20.0;
    case scale_mode::kPixels:
      return kTwipsPerPixel;
    case scale_mode::kInches:
      return 1440.0;
    case scale_mode::kMillimeters:
      return 1440.0 / 25.4;
    case scale_mode::kCentimeters:
      return 1440.0 / 2.54;
    case scale_mode::kHiMetric:
      return 1440.0 / 2540.0;
    default:
      throw Error(ErrorNumber::kInvalidPropertyValue,
                  "Invalid property value: unknown scale unit " + std::to_string(mode));
  }
}

float ConvertUnits(float value, int from_unit, int to_unit) {
  const double twips = CheckFloat(static_cast<double>(value) * TwipsPerUnit(from_unit));
  return static_cast<float>(CheckFloat(twips / TwipsPerUnit(to_unit)));
}

}  // namespace platform
