// The program's small arithmetic runtime: every conversion and integer sum the engine
// makes goes through here, so that overflow and floating-point faults become errors
// instead of silent wrap-around or garbage coordinates.
#pragma once

#include <cstdint>

namespace platform {

// Degrees, clockwise on the screen (y grows downward). Single precision on purpose:
// the engine compares angles for exact equality (88, 180, ...).
using Angle = float;

// The radians constant the turning engine uses everywhere. It is deliberately not a
// more precise pi: the placement of edge squares depends on this exact value.
inline constexpr double kPi7 = 3.1415926;

// angle × 3.1415926 / 180 in double precision; a NaN or infinite angle raises an error.
double Radians(Angle angle);

// Nearest 32-bit integer, halves to even. Overflow error outside the 32-bit range,
// floating-point error for NaN.
int32_t Round32(double value);

// Checked 32-bit sum and difference: overflow error outside the range.
int32_t Add32(int32_t a, int32_t b);
int32_t Sub32(int32_t a, int32_t b);

// Integer halving truncated toward zero (-3 halves to -1).
constexpr int32_t Half(int32_t value) {
  return value / 2;
}

// Raises the floating-point error for NaN and the overflow error for an infinity;
// returns the value otherwise. Loss of precision and underflow pass silently.
double CheckFloat(double value);

// Division that raises the division-by-zero error instead of producing an infinity.
double Divide(double numerator, double denominator);

}  // namespace platform
