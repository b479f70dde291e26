// A 2-D affine map (x, y) -> (a·x + c·y + e, b·x + d·y + f), in double precision.
#pragma once

#include <optional>

namespace platform {

struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  double X(double x, double y) const { return a * x + c * y + e; }
  double Y(double x, double y) const { return b * x + d * y + f; }
  double Determinant() const { return a * d - b * c; }

  // `this` first, then `next`.
  Affine Then(const Affine& next) const {
    return {next.a * a + next.c * b,          next.b * a + next.d * b,
            next.a * c + next.c * d,          next.b * c + next.d * d,
            next.a * e + next.c * f + next.e, next.b * e + next.d * f + next.f};
  }

  // None when the map collapses the plane (zero determinant or not finite).
  std::optional<Affine> Inverse() const {
    const double det = Determinant();
    if (!(det != 0.0) || !(det == det)) return std::nullopt;
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return Affine{ia, ib, ic, id, -(ia * e + ic * f), -(ib * e + id * f)};
  }
};

}  // namespace platform
