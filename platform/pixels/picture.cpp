#include "platform/pixels/picture.h"

#include <cmath>

namespace platform {

int32_t HiMetricFromPixels(int32_t pixels) {
  return static_cast<int32_t>(std::lround(pixels * 2540.0 / 96.0));
}

int32_t Picture::Width() const {
  return HiMetricFromPixels(WidthPixels());
}
int32_t Picture::Height() const {
  return HiMetricFromPixels(HeightPixels());
}

}  // namespace platform
