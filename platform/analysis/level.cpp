#include "platform/analysis/level.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <vector>

#include "platform/analysis/segments.h"

namespace platform {

namespace {

constexpr double kWorkingPixels = 0.5e6;
// Segments shorter than this share of the diagonal are texture, not lines.
constexpr double kShortest = 0.03;
// A segment this close to the picture's edge, along it, is the edge (a border, a scan's
// margin), not a line of the scene.
constexpr double kBorder = 3;
// Level lines lie within this of level, upright ones within this of upright.
constexpr double kReach = 30;
// Lines agreeing with a reading to within this are its lines...
constexpr double kInlier = 0.5;
constexpr double kUprightInlier = 0.6;
// ...and those within this, that do not agree, are lines in perspective, or grass.
constexpr double kNear = 8;
// Lines this far apart across their direction (a share of the diagonal) are distinct.
constexpr double kDistinct = 0.015;
// How far from the centre column (a share of the diagonal) upright lines are believed
// at first, before the lean of the others is known.
constexpr double kCentreColumn = 0.2;

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// A segment as the estimator sees it.
struct Line {
  double tilt;      // clockwise, degrees: level lines from level, upright ones from upright
  double weight;    // length, as a share of the diagonal
  double position;  // across its direction from the centre, as a share of the diagonal
  double column;    // its middle's distance right of the centre column, same unit
};

struct Reading {
  double tilt = 0;   // the lines' tilt (for upright lines: at the centre column)
  double support = 0;  // the agreeing lines' length, in diagonals
  double share = 0;    // their part of all the lines near them
  int distinct = 0;    // how many distinct lines agree
  bool valid = false;
};

// The weighted mode of the tilts, then the mean of those near it, each weighed by its
// length squared: the direction of a long segment is known the better the longer it is.
double Mode(const std::vector<Line>& lines, const std::vector<double>& weights) {
  double best = 0, densest = -1;
  for (double t = -kReach; t <= kReach + 1e-9; t += 0.05) {
    double density = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      const double d = (t - lines[i].tilt) / 0.3;
      if (std::abs(d) < 6) density += weights[i] * std::exp(-0.5 * d * d);
    }
    if (density > densest) densest = density, best = t;
  }
  return best;
}

// How well the lines agree with tilt + lean x column.
Reading Agreement(const std::vector<Line>& lines, double tilt, double lean, double inlier) {
  Reading r;
  r.tilt = tilt;
  double near = 0;
  std::set<long> positions;
  for (const Line& l : lines) {
    const double d = std::abs(l.tilt - (tilt + lean * l.column));
    if (d < kNear) near += l.weight;
    if (d < inlier) {
      r.support += l.weight;
      positions.insert(std::lround(l.position / kDistinct));
    }
  }
  r.share = near > 0 ? r.support / near : 0;
  r.distinct = static_cast<int>(positions.size());
  r.valid = r.support > 0;
  return r;
}

Reading LevelLines(const std::vector<Line>& lines) {
  if (lines.empty()) return {};
  std::vector<double> weights;
  for (const Line& l : lines) weights.push_back(l.weight);
  double tilt = Mode(lines, weights);
  for (int pass = 0; pass < 3; ++pass) {
    double sum = 0, weight = 0;
    for (const Line& l : lines) {
      if (std::abs(l.tilt - tilt) >= kInlier) continue;
      sum += l.tilt * l.weight * l.weight;
      weight += l.weight * l.weight;
    }
    if (weight <= 0) return {};
    tilt = sum / weight;
  }
  return Agreement(lines, tilt, 0, kInlier);
}

// Upright lines lean with a camera turned up or down, the more the further they stand
// from the centre column: their tilt is fitted as tilt + lean x column, and the tilt at
// the centre is the picture's.
Reading UprightLines(const std::vector<Line>& lines) {
  if (lines.size() < 2) return {};
  std::vector<double> weights;
  for (const Line& l : lines) {
    const double c = l.column / kCentreColumn;
    weights.push_back(l.weight * std::exp(-0.5 * c * c));
  }
  double tilt = Mode(lines, weights), lean = 0;
  for (int pass = 0; pass < 4; ++pass) {
    // Weighted least squares of tilt = a + b x column over the agreeing lines.
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, lo = 1e9, hi = -1e9;
    int n = 0;
    for (const Line& l : lines) {
      if (std::abs(l.tilt - (tilt + lean * l.column)) >= kUprightInlier) continue;
      const double w = l.weight * l.weight;
      sw += w, sx += w * l.column, sy += w * l.tilt;
      sxx += w * l.column * l.column, sxy += w * l.column * l.tilt;
      lo = std::min(lo, l.column), hi = std::max(hi, l.column);
      ++n;
    }
    if (n < 2) break;
    const double det = sw * sxx - sx * sx;
    if (n >= 4 && hi - lo > 0.1 && det > 1e-12) {
      lean = (sw * sxy - sx * sy) / det;
      tilt = (sy - lean * sx) / sw;
    } else {
      tilt = sy / sw, lean = 0;
    }
  }
  return Agreement(lines, tilt, lean, kUprightInlier);
}

// How sure a reading is: enough agreeing length, few lines near it that disagree, several
// distinct lines or one across the picture (a horizon), and a tilt people make by hand.
double Confidence(const Reading& r) {
  if (!r.valid) return 0;
  const double lines = std::min(1.0, r.distinct / 4.0 + std::max(0.0, r.support - 0.4));
  double c = std::min(1.0, r.support / 0.5) * std::clamp((r.share - 0.2) / 0.3, 0.0, 1.0) * lines;
  // Many lines may show a document turned further; one or two long ones at a steep tilt
  // are more likely a mast, a cable or a stalk than the level.
  if (r.distinct >= 4) {
    c *= std::clamp((25 - std::abs(r.tilt)) / 10, 0.0, 1.0);
  } else if (std::abs(r.tilt) > 15) {
    c = 0;
  }
  return c;
}

}  // namespace

LevelSuggestion SuggestLevel(ConstPixelView picture) {
  LevelSuggestion suggestion;
  suggestion.reason = kNoLevelLine;
  const Segments found = SegmentsOf(picture, kWorkingPixels);
  const double width = found.width, height = found.height;
  const double diagonal = std::hypot(width, height);
  std::vector<Line> level, upright;
  for (const Segment& s : found.segments) {
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const double length = std::hypot(dx, dy);
    if (length < kShortest * diagonal) continue;
    const bool edge = std::max(s.y0, s.y1) < kBorder || std::min(s.y0, s.y1) > height - 1 - kBorder ||
                      std::max(s.x0, s.x1) < kBorder || std::min(s.x0, s.x1) > width - 1 - kBorder;
    if (edge) continue;
    // The direction in (-90, 90], clockwise on the screen since y runs down.
    double angle = std::fmod(Degrees(std::atan2(dy, dx)) + 90 + 360, 180.0) - 90;
    const double mx = (s.x0 + s.x1) / 2 - width / 2, my = (s.y0 + s.y1) / 2 - height / 2;
    if (std::abs(angle) < kReach) {
      const double a = Radians(angle);
      level.push_back({angle, length / diagonal, (-mx * std::sin(a) + my * std::cos(a)) / diagonal,
                       mx / diagonal});
    } else if (std::abs(std::abs(angle) - 90) < kReach) {
      const double tilt = angle > 0 ? angle - 90 : angle + 90;
      const double a = Radians(tilt);
      upright.push_back({tilt, length / diagonal, (mx * std::cos(a) + my * std::sin(a)) / diagonal,
                         mx / diagonal});
    }
  }
  const Reading across = LevelLines(level), up = UprightLines(upright);
  double c_across = Confidence(across), c_up = Confidence(up);
  if (c_across > 0 && c_up > 0 && std::abs(across.tilt - up.tilt) > kUprightInlier) {
    // One reading much the stronger outweighs the other; otherwise nothing is sure.
    if (c_across > 2 * c_up && across.support > 2 * up.support) {
      c_up = 0;
    } else if (c_up > 2 * c_across && up.support > 2 * across.support) {
      c_across = 0;
    } else {
      suggestion.tilt = -across.tilt;
      suggestion.reason = kLinesDisagree;
      return suggestion;
    }
  }
  if (c_across <= 0 && c_up <= 0) return suggestion;
  double lines;
  if (c_up <= 0) {
    lines = across.tilt;
  } else if (c_across <= 0) {
    lines = up.tilt;
  } else {
    const double a = across.support * across.support, u = up.support * up.support;
    lines = (across.tilt * a + up.tilt * u) / (a + u);
  }
  suggestion.tilt = -lines;
  suggestion.confidence = std::max(c_across, c_up);
  if (suggestion.confidence >= kLevelConfidence) {
    const int rounded = static_cast<int>(std::lround(suggestion.tilt));
    suggestion.level = ((rounded % 360) + 360) % 360;
    suggestion.reason.clear();
  }
  return suggestion;
}

}  // namespace platform
