// What the sharp resampler of a turn (sharp_kernel.cpp) and its reference version share:
// how a turn is taken apart into an exact quarter turn and three shears, and the weights
// of one shear's shift.
//
// A turn by phi, |phi| <= 45 degrees, is x' = x + alpha y, then y' = y + beta x, then
// x' = x + alpha y again, with alpha = -tan(phi / 2) and beta = sin(phi): each pass moves
// whole rows or whole columns by one amount, so it is a one-dimensional resampling whose
// weights are the same all along the row or column. Larger turns first turn the source
// by quarter turns, which is exact. What the three passes make of a pixel is then held
// within the four source pixels around the point it shows, so that the sinc's ripples
// never overshoot an edge (no halo) and a flat area stays flat.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/pixels/affine.h"

namespace platform {

// Lobes on each side of the windowed sinc: each shift reads 2 * kSharpLobes pixels.
constexpr int kSharpLobes = 5;
constexpr int kSharpTaps = 2 * kSharpLobes;

// The weights of the taps at index i0 - kSharpLobes + 1 + k, k < kSharpTaps, for a point
// at i0 + t (t in [0, 1), in pixel-index units: pixel i's centre at index i). They add up
// to one.
void SharpWeights(double t, double weights[kSharpTaps]);

// A turn as the sharp resampler runs it. The turned source s' is the source after
// `quarters` clockwise quarter turns, `width` x `height`; its pixel (i, j) is the source's
// pixel SourcePixel(i, j). A point p of s' lands at the target's shears of p plus the shift.
struct SharpTurn {
  int quarters;
  int32_t width, height;       // of s'
  int32_t source_w, source_h;  // of the source
  double alpha, beta;          // the shears
  double e2, e3;               // the shift, as the second and third passes take it

  // The source pixel that is pixel (i, j) of s', inside s'.
  void SourcePixel(int32_t i, int32_t j, int32_t& x, int32_t& y) const;

  // Offsets and fractions of the three passes, in pixel-index units: pass 1 reads row r of
  // s' at column c + Pass1(r); pass 2 reads column c of the first pass's result at row
  // y + Pass2(c); pass 3 reads row y of the second's at column x + Pass3(y).
  double Pass1(int32_t r) const { return -alpha * (r + 0.5); }
  double Pass2(int32_t c) const { return -beta * (c + 0.5) - e2; }
  double Pass3(int32_t y) const { return -alpha * (y + 0.5) - e3; }

  // The point of s' that the target's point (x, y) shows: the turn undone exactly.
  void Inverse(double x, double y, double& u, double& v) const {
    const double c = 1.0 + alpha * beta, s = beta;  // cos and sin of the turn
    const double dx = x - (e3 + alpha * e2), dy = y - e2;
    u = c * dx + s * dy;
    v = -s * dx + c * dy;
  }
};

// The turn that `source_to_target` is for a width x height source, or none when it is
// not a rotation and a shift (a scale, a slant or a mirror is drawn bilinearly).
std::optional<SharpTurn> SharpTurnOf(const Affine& source_to_target, int32_t width, int32_t height);

}  // namespace platform
