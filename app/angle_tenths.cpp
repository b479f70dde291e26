#include "app/angle_tenths.h"

#include <cmath>
#include <numbers>

namespace app {

namespace {

int Modulo(long value, int divisor) {
  return static_cast<int>(((value % divisor) + divisor) % divisor);
}

}  // namespace

platform::Angle AngleOfTenths(int tenths) {
  // Correctly rounded: ten times a whole number divides back to it exactly.
  return static_cast<platform::Angle>(tenths) / 10.0f;
}

std::string AngleText(int tenths) {
  const std::string whole = std::to_string(tenths / 10);
  if (tenths % 10 == 0) return whole;
  return whole + "." + std::to_string(tenths % 10);
}

int NearestDegree(int tenths) {
  return (tenths + 5) / 10;
}

std::optional<int> TenthsOfDecimal(std::string_view text) {
  const size_t point = text.find('.');
  // At most four digits before the point keeps the sum far from any overflow.
  if (point == std::string_view::npos || point == 0 || point > 4 || point + 2 != text.size()) {
    return std::nullopt;
  }
  int tenths = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == point) continue;
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    tenths = tenths * 10 + (text[i] - '0');
  }
  if (tenths > kMaxTenths) return std::nullopt;
  return tenths;
}

double LineAngle(int dx, int dy) {
  if (dx == 0 && dy == 0) return 0;
  long x = dx, y = dy;
  // Each step turns the vector back by a right angle, (x, y) -> (y, -x), until it lies in
  // (-45, 45]: x > 0 and -x < y <= x. At most three steps.
  while (!(x > 0 && -x < y && y <= x)) {
    const long turned_x = y;
    y = -x;
    x = turned_x;
  }
  return std::atan2(static_cast<double>(y), static_cast<double>(x)) * 180 / std::numbers::pi;
}

int StraightenedTenths(int tenths, int dx, int dy) {
  return Modulo(std::lround(tenths - 10 * LineAngle(dx, dy)), kMaxTenths);
}

int LevelTenths(double tilt) {
  return Modulo(std::lround(10 * tilt), kMaxTenths);
}

}  // namespace app
