#include "platform/analysis/refine.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace platform {

namespace {

// Samples across the line, in pixels.
constexpr double kAcross = 0.5;
// Beyond the segment's ends, a point is the line's own when it lies this close to the
// line fitted so far (pixels) and its edge is at least this share of the segment's.
constexpr double kOnTrack = 1.2;
constexpr double kFaintest = 0.4;
// The line ends where this many steps in a row find nothing on it.
constexpr int kGap = 6;
// How many of its last points the line is followed by, beyond the segment.
constexpr size_t kRecent = 48;
// Two edges of opposite directions this close (pixels), the fainter followed over at least
// this share of the other's points and with at least this share of its step, are the
// sides of one thin line.
constexpr double kThin = 4, kBothEdges = 0.6;

// Luma, bilinear between pixel centres; -1 outside.
double Luma(ConstPixelView p, double x, double y) {
  if (x < 0 || y < 0 || x > p.width - 1 || y > p.height - 1) return -1;
  const int ix = std::min(static_cast<int>(x), p.width - 2);
  const int iy = std::min(static_cast<int>(y), p.height - 2);
  const double fx = x - ix, fy = y - iy;
  const auto v = [&](int px, int py) {
    const uint32_t c = p.at(px, py);
    return (77.0 * ((c >> 16) & 0xFF) + 150.0 * ((c >> 8) & 0xFF) + 29.0 * (c & 0xFF)) / 256;
  };
  return (1 - fy) * ((1 - fx) * v(ix, iy) + fx * v(ix + 1, iy)) +
         fy * ((1 - fx) * v(ix, iy + 1) + fx * v(ix + 1, iy + 1));
}

struct Point {
  double t, s, strength;  // along, across (pixels), and the edge's step
};

class Follower {
 public:
  Follower(ConstPixelView picture, double x0, double y0, double ux, double uy)
      : picture_(picture), x0_(x0), y0_(y0), ux_(ux), uy_(uy) {}

  // The steepest step across the line at `t` within [lo, hi] of it, in the direction of
  // `sign` (0: either); strength 0 when nothing is found or the window leaves the picture.
  Point Edge(double t, double lo, double hi, double sign) const {
    const int n = static_cast<int>(std::ceil((hi - lo) / kAcross)) + 3;
    profile_.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
      const double s = lo + (k - 1) * kAcross;
      const double v = Luma(picture_, x0_ + t * ux_ - s * uy_, y0_ + t * uy_ + s * ux_);
      if (v < 0) return {t, 0, 0};
      profile_[static_cast<size_t>(k)] = v;
    }
    double best = 0;
    int at = -1;
    for (int k = 1; k + 1 < n; ++k) {
      double d = (profile_[static_cast<size_t>(k + 1)] - profile_[static_cast<size_t>(k - 1)]) /
                 (2 * kAcross);
      if (sign < 0) d = -d;
      if (sign == 0) d = std::abs(d);
      if (d > best) best = d, at = k;
    }
    if (at <= 1 || at >= n - 2) return {t, 0, 0};
    // The step's middle to a fraction of a sample: the parabola through the derivative.
    const auto der = [&](int k) {
      const double d = profile_[static_cast<size_t>(k + 1)] - profile_[static_cast<size_t>(k - 1)];
      return sign < 0 ? -d : (sign == 0 ? std::abs(d) : d);
    };
    const double a = der(at - 1), b = der(at), c = der(at + 1);
    const double denominator = a - 2 * b + c;
    const double shift = denominator < 0 ? std::clamp(0.5 * (a - c) / denominator, -0.5, 0.5) : 0;
    return {t, lo + (at - 1 + shift) * kAcross, best};
  }

 private:
  ConstPixelView picture_;
  double x0_, y0_, ux_, uy_;
  mutable std::vector<double> profile_;
};

// A fit s = a + b t + c t^2 of the points within `keep` of the previous fit (all of them
// without one); straight (c = 0) unless `curved`.
struct Fit {
  double a = 0, b = 0, c = 0, rms = 0;
  bool valid = false;
  double At(double t) const { return a + (b + c * t) * t; }
};

Fit FitOf(const std::vector<Point>& points, const Fit* previous, double keep, bool curved) {
  double m[3][4] = {};
  int n = 0;
  for (const Point& p : points) {
    if (previous && std::abs(p.s - previous->At(p.t)) > keep) continue;
    const double v[3] = {1, p.t, p.t * p.t};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] += v[i] * v[j];
      m[i][3] += v[i] * p.s;
    }
    ++n;
  }
  Fit f;
  if (n < 4) return f;
  const int size = curved ? 3 : 2;
  // Gaussian elimination with partial pivoting on the normal equations.
  for (int col = 0; col < size; ++col) {
    int pivot = col;
    for (int r = col + 1; r < size; ++r) {
      if (std::abs(m[r][col]) > std::abs(m[pivot][col])) pivot = r;
    }
    if (std::abs(m[pivot][col]) < 1e-12) return f;
    if (pivot != col) {
      for (int k = 0; k < 4; ++k) std::swap(m[col][k], m[pivot][k]);
    }
    for (int r = 0; r < size; ++r) {
      if (r == col) continue;
      const double factor = m[r][col] / m[col][col];
      for (int k = col; k < 4; ++k) m[r][k] -= factor * m[col][k];
    }
  }
  f.a = m[0][3] / m[0][0];
  f.b = m[1][3] / m[1][1];
  f.c = curved ? m[2][3] / m[2][2] : 0;
  double e = 0;
  for (const Point& p : points) {
    if (previous && std::abs(p.s - previous->At(p.t)) > keep) continue;
    const double r = p.s - f.At(p.t);
    e += r * r;
  }
  f.rms = std::sqrt(e / n);
  f.valid = true;
  return f;
}

// The edge of the given direction across the line (`sign`) followed along the segment and
// beyond; `offset` is where it lies across the segment, on the whole, and `strength` its
// typical step.
RefinedLine FollowEdge(ConstPixelView picture, const Follower& follow, double x0, double y0,
                       double ux, double uy, double length, double reach, double step, double sign,
                       double* offset, double* strength) {
  RefinedLine result;
  std::vector<Point> points;
  for (double t = 0; t <= length; t += step) {
    const Point p = follow.Edge(t, -reach, reach, sign);
    if (p.strength > 0) points.push_back(p);
  }
  Fit fit = FitOf(points, nullptr, 0, false);
  for (int pass = 0; pass < 2 && fit.valid; ++pass) {
    fit = FitOf(points, &fit, std::max(0.5, 2.5 * fit.rms), false);
  }
  if (!fit.valid) return result;
  std::vector<double> strengths;
  for (const Point& p : points) strengths.push_back(p.strength);
  std::nth_element(strengths.begin(), strengths.begin() + strengths.size() / 2, strengths.end());
  const double typical = strengths[strengths.size() / 2];
  *strength = typical;
  // On beyond each end, along the line fitted so far: bowed by the lens, it may curve a
  // little, so the fit follows it.
  double first = 0, last = length;
  for (const double direction : {1.0, -1.0}) {
    int missed = 0;
    const int gap = std::max(kGap, static_cast<int>(0.1 * length / step));
    // The line is followed by the trend of its last points, so that a bow is followed.
    std::vector<Point> recent;
    for (const Point& p : points) {
      if (direction > 0 ? p.t > length - kRecent * step : p.t < kRecent * step) recent.push_back(p);
    }
    Fit local = fit;
    for (double t = direction > 0 ? length + step : -step; missed < gap; t += direction * step) {
      const double x = x0 + t * ux, y = y0 + t * uy;
      if (x < 0 || y < 0 || x > picture.width - 1 || y > picture.height - 1) break;
      const double expected = local.At(t);
      const Point p = follow.Edge(t, expected - 2 * kOnTrack, expected + 2 * kOnTrack, sign);
      if (p.strength >= kFaintest * typical && std::abs(p.s - expected) <= kOnTrack) {
        points.push_back(p);
        recent.push_back(p);
        missed = 0;
        (direction > 0 ? last : first) = t;
        if (recent.size() % 8 == 0) {
          std::vector<Point> tail(recent.end() - std::min<size_t>(recent.size(), kRecent),
                                  recent.end());
          const Fit next = FitOf(tail, nullptr, 0, false);
          if (next.valid) local = next;
        }
      } else {
        ++missed;
      }
    }
  }
  // The direction where the line passes nearest the picture's centre: a straight line that
  // the lens bows keeps its direction there. Lines that reach far to one side only are
  // read straight.
  const double cx = (picture.width - 1) / 2.0, cy = (picture.height - 1) / 2.0;
  const double foot = (cx - x0) * ux + (cy - y0) * uy;
  const bool around = foot - first > 0.3 * (last - first) && last - foot > 0.3 * (last - first);
  Fit straight = fit;
  for (int pass = 0; pass < 2; ++pass) {
    const Fit next = FitOf(points, &straight, std::max(0.5, 2.5 * straight.rms), false);
    if (next.valid) straight = next;
  }
  Fit curve = straight;
  if (around) {
    // From every point the line was followed by: a bow is no stray point.
    const Fit all = FitOf(points, nullptr, 0, true);
    if (all.valid) curve = all;
    for (int pass = 0; pass < 2; ++pass) {
      const Fit next = FitOf(points, &curve, std::max(0.5, 2.5 * curve.rms), true);
      if (next.valid) curve = next;
    }
  }
  const Fit& chosen = around && curve.valid ? curve : straight;
  int kept = 0;
  for (const Point& p : points)
    kept += std::abs(p.s - chosen.At(p.t)) <= std::max(0.5, 2.5 * chosen.rms);
  result.valid = kept >= 4;
  result.tilt = std::atan(chosen.b + 2 * chosen.c * (around ? foot : 0)) * 180 / std::numbers::pi;
  result.length = last - first;
  result.rms = chosen.rms;
  result.points = kept;
  *offset = chosen.At(0.5 * (first + last));
  return result;
}

}  // namespace

RefinedLine RefineLine(ConstPixelView picture, double x0, double y0, double x1, double y1,
                       double reach) {
  RefinedLine result;
  const double length = std::hypot(x1 - x0, y1 - y0);
  if (picture.width < 4 || picture.height < 4 || length < 4) return result;
  const double ux = (x1 - x0) / length, uy = (y1 - y0) / length;
  const Follower follow(picture, x0, y0, ux, uy);
  const double step = std::max(1.5, std::hypot(picture.width, picture.height) / 1500);
  // Both edges followed: a thin line (a far shore, a cable, a staff line) has two, and its
  // direction is theirs together; an edge between two areas has one, the other finding
  // only scraps.
  double rising_at = 0, falling_at = 0, rising_step = 0, falling_step = 0;
  const RefinedLine rising =
      FollowEdge(picture, follow, x0, y0, ux, uy, length, reach, step, 1, &rising_at, &rising_step);
  const RefinedLine falling = FollowEdge(picture, follow, x0, y0, ux, uy, length, reach, step, -1,
                                         &falling_at, &falling_step);
  if (!rising.valid || !falling.valid) return rising.valid ? rising : falling;
  // The line's own edge is the one followed the further by the stronger step; the other
  // side's, if only noise, is weak or soon lost.
  const bool rises = rising.points * rising_step >= falling.points * falling_step;
  const RefinedLine& more = rises ? rising : falling;
  const RefinedLine& fewer = rises ? falling : rising;
  const double weaker = std::min(rising_step, falling_step);
  const double stronger = std::max(rising_step, falling_step);
  if (fewer.points < kBothEdges * more.points || weaker < kBothEdges * stronger ||
      std::abs(rising_at - falling_at) > kThin || std::abs(rising.tilt - falling.tilt) > 0.5) {
    return more;
  }
  RefinedLine both = more;
  both.tilt = (rising.tilt * rising.points + falling.tilt * falling.points) /
              (rising.points + falling.points);
  both.points = rising.points + falling.points;
  both.length = std::max(rising.length, falling.length);
  return both;
}

}  // namespace platform
