#include "platform/base/runtime.h"

#include <cmath>
#include <limits>

#include "platform/base/error.h"

namespace platform {

double CheckFloat(double value) {
  if (std::isnan(value)) {
    throw Error(ErrorNumber::kInvalidProcedureCall, "Invalid procedure call or argument: not a number");
  }
  if (std::isinf(value)) throw Error(ErrorNumber::kOverflow, "Overflow");
  return value;
}

double Divide(double numerator, double denominator) {
  if (denominator == 0.0) throw Error(ErrorNumber::kDivisionByZero, "Division by zero");
  return CheckFloat(numerator / denominator);
}

double Radians(Angle angle) {
  return Divide(CheckFloat(static_cast<double>(angle) * kPi7), 180.0);
}

int32_t Round32(double value) {
  CheckFloat(value);
  // nearbyint under the default rounding mode rounds halves to even.
  const double rounded = std::nearbyint(value);
  if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    throw Error(ErrorNumber::kOverflow, "Overflow");
  }
  return static_cast<int32_t>(rounded);
}

int32_t Add32(int32_t a, int32_t b) {
  int32_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) throw Error(ErrorNumber::kOverflow, "Overflow");
  return sum;
}

int32_t Sub32(int32_t a, int32_t b) {
  int32_t difference = 0;
  if (__builtin_sub_overflow(a, b, &difference)) throw Error(ErrorNumber::kOverflow, "Overflow");
  return difference;
}

}  // namespace platform
