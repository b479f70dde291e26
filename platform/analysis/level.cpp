#include "platform/analysis/level.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <vector>

#include "platform/analysis/refine.h"
#include "platform/analysis/segments.h"

namespace platform {

namespace {

constexpr double kWorkingPixels = 0.5e6;
// Segments shorter than this share of the diagonal are texture, not lines.
constexpr double kShortest = 0.03;
// A segment this close to the picture's edge and along it to within kAlongBorder degrees
// is the edge (a border, a scan's margin), not a line of the scene; one that runs askew
// there is a line of the scene (a page's edge just inside the scan's).
constexpr double kBorder = 3, kAlongBorder = 0.25;
// Level lines lie within this of level, upright ones within this of upright.
constexpr double kReach = 30;
// Lines agreeing with a reading to within this are its lines...
constexpr double kInlier = 0.5;
constexpr double kUprightInlier = 0.6;
// ...and those within this, that do not agree, are lines in perspective, or grass.
constexpr double kNear = 8;
// How much of the length of the lines near a reading must agree with it: level lines in
// perspective (a street, a room) agree only in part; upright lines of old walls that lean
// apart, less still.
constexpr double kLevelShare = 0.25, kUprightShare = 0.4, kShareRange = 0.25;
// A lone horizon this long (a share of the diagonal) is sure when at least kAlone of the
// picture's straight lines (by length) are its own, the rest (reflections, a shore) few.
constexpr double kHorizon = 0.1, kAlone = 0.4;
// Level lines that make less than this share of the picture's straight lines (by length)
// are parallel by chance; from this and kChanceRange more on, they count in full.
constexpr double kChance = 0.08, kChanceRange = 0.12;
// Lines this far apart across their direction (a share of the diagonal) are distinct.
constexpr double kDistinct = 0.015;
// How far from the centre column (a share of the diagonal) upright lines are believed
// at first, before the lean of the others is known.
constexpr double kCentreColumn = 0.2;

double Degrees(double radians) {
  return radians * 180.0 / std::numbers::pi;
}
double Radians(double degrees) {
  return degrees * std::numbers::pi / 180.0;
}

// A segment as the estimator sees it.
struct Line {
  double tilt;            // clockwise, degrees: level lines from level, upright ones from upright
  double weight;          // length, as a share of the diagonal
  double position;        // across its direction from the centre, as a share of the diagonal
  double column;          // its middle's distance right of the centre column, same unit
  double x0, y0, x1, y1;  // its ends in the picture's own pixels
};

struct Reading {
  double tilt = 0;            // the lines' tilt (for upright lines: at the centre column)
  double support = 0;         // the agreeing lines' length, in diagonals
  double coarse_support = 0;  // the same as the segments found show it
  double share = 0;           // their part of all the lines near them
  int distinct = 0;           // how many distinct lines agree
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
  r.coarse_support = r.support;
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

// The level lines that agree with the reading followed again on the picture itself, over
// their whole length: the reading becomes their mean tilt, each weighed by its length
// squared, and its support their whole length. Pieces of one line found apart (a horizon
// broken by a boat) are one line once followed.
constexpr size_t kRefined = 16;
// How straight (pixels, the points' distance from the fitted line) a line is taken to be at
// best: below this, the edge's own noise.
constexpr double kStraight = 0.3;
Reading Refined(ConstPixelView picture, const std::vector<Line>& lines, const Reading& coarse,
                double diagonal, double reach) {
  std::vector<const Line*> agreeing;
  for (const Line& l : lines) {
    if (std::abs(l.tilt - coarse.tilt) < kInlier) agreeing.push_back(&l);
  }
  std::sort(agreeing.begin(), agreeing.end(),
            [](const Line* a, const Line* b) { return a->weight > b->weight; });
  // Pieces of one line (at one position across) joined: the longest's direction, from the
  // first piece's end to the last's.
  struct Joined {
    const Line* longest;
    double first, last;  // along the longest, from its first end, pixels
  };
  std::vector<Joined> joined;
  for (const Line* l : agreeing) {
    Joined* same = nullptr;
    for (Joined& j : joined) {
      if (std::abs(j.longest->position - l->position) < kDistinct) same = &j;
    }
    if (same == nullptr) {
      if (joined.size() == kRefined) continue;
      joined.push_back({l, 0, std::hypot(l->x1 - l->x0, l->y1 - l->y0)});
      continue;
    }
    const Line& a = *same->longest;
    const double length = std::hypot(a.x1 - a.x0, a.y1 - a.y0);
    const double ux = (a.x1 - a.x0) / length, uy = (a.y1 - a.y0) / length;
    for (const double t :
         {(l->x0 - a.x0) * ux + (l->y0 - a.y0) * uy, (l->x1 - a.x0) * ux + (l->y1 - a.y0) * uy}) {
      same->first = std::min(same->first, t), same->last = std::max(same->last, t);
    }
  }
  struct Followed {
    double tilt, length, weight;
  };
  std::vector<Followed> followed;
  for (const Joined& j : joined) {
    const Line& l = *j.longest;
    const double length = std::hypot(l.x1 - l.x0, l.y1 - l.y0);
    const double ux = (l.x1 - l.x0) / length, uy = (l.y1 - l.y0) / length;
    const RefinedLine r = RefineLine(picture, l.x0 + j.first * ux, l.y0 + j.first * uy,
                                     l.x0 + j.last * ux, l.y0 + j.last * uy, reach);
    if (!r.valid) continue;
    const double tilt = Degrees(std::atan2(uy, ux)) + r.tilt;
    const double t = std::fmod(tilt + 90 + 360, 180.0) - 90;
    if (std::abs(t - coarse.tilt) > 2 * kInlier) continue;
    // A long line is read the better the straighter it runs: waves and bowed branches are
    // not lines to level by.
    const double straight = std::max(r.rms, kStraight);
    followed.push_back({t, r.length / diagonal,
                        r.length * r.length / (diagonal * diagonal * straight * straight)});
  }
  if (followed.empty()) return coarse;
  Reading r = coarse;
  double sum = 0, weight = 0, support = 0;
  for (const Followed& f : followed) {
    sum += f.tilt * f.weight;
    weight += f.weight;
    support += f.length;
  }
  r.tilt = sum / weight;
  r.support = std::max(coarse.support, support);
  return r;
}

// How sure a reading is: enough agreeing length, few lines near it that disagree, several
// distinct lines or one across the picture (a horizon), and a tilt people make by hand.
double Confidence(const Reading& r, double least_share, double all_lines) {
  if (!r.valid) return 0;
  const double lines = std::min(1.0, r.distinct / 4.0 + std::max(0.0, r.support - 0.4));
  double c = std::min(1.0, r.support / 0.5) *
             std::clamp((r.share - least_share) / kShareRange, 0.0, 1.0) * lines;
  // Many lines may show a document turned further; one or two long ones at a steep tilt
  // are more likely a mast, a cable or a stalk than the level.
  if (r.distinct >= 4) {
    c *= std::clamp((25 - std::abs(r.tilt)) / 10, 0.0, 1.0);
  } else if (std::abs(r.tilt) > 15) {
    return 0;
  }
  // A horizon alone in a quiet picture (a lake at dusk): one line, short perhaps, but the
  // picture's only straight one, and followed to a fraction of a pixel.
  if (r.distinct <= 2 && all_lines > 0) {
    const double alone = r.coarse_support / all_lines;
    c = std::max(c, std::clamp(r.support / kHorizon, 0.0, 1.0) *
                        std::clamp((alone - kAlone) / 0.2, 0.0, 1.0));
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
  double all_lines = 0;  // the length of every straight line, in diagonals
  // The copy's coordinates in the picture's pixels.
  const auto Full = [&](double v) { return (v + 0.5) * found.scale - 0.5; };
  for (const Segment& s : found.segments) {
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const double length = std::hypot(dx, dy);
    if (length < kShortest * diagonal) continue;
    all_lines += length / diagonal;
    const bool edge = std::max(s.y0, s.y1) < kBorder ||
                      std::min(s.y0, s.y1) > height - 1 - kBorder ||
                      std::max(s.x0, s.x1) < kBorder || std::min(s.x0, s.x1) > width - 1 - kBorder;
    const double slant = std::min(std::abs(dx), std::abs(dy)) / length;
    if (edge && slant < std::sin(Radians(kAlongBorder))) continue;
    // The direction in (-90, 90], clockwise on the screen since y runs down.
    double angle = std::fmod(Degrees(std::atan2(dy, dx)) + 90 + 360, 180.0) - 90;
    const double mx = (s.x0 + s.x1) / 2 - width / 2, my = (s.y0 + s.y1) / 2 - height / 2;
    if (std::abs(angle) < kReach) {
      const double a = Radians(angle);
      level.push_back({angle, length / diagonal, (-mx * std::sin(a) + my * std::cos(a)) / diagonal,
                       mx / diagonal, Full(s.x0), Full(s.y0), Full(s.x1), Full(s.y1)});
    } else if (std::abs(std::abs(angle) - 90) < kReach) {
      const double tilt = angle > 0 ? angle - 90 : angle + 90;
      const double a = Radians(tilt);
      upright.push_back({tilt, length / diagonal, (mx * std::cos(a) + my * std::sin(a)) / diagonal,
                         mx / diagonal, Full(s.x0), Full(s.y0), Full(s.x1), Full(s.y1)});
    }
  }
  Reading across = LevelLines(level);
  const Reading up = UprightLines(upright);
  // Followed on the picture itself, where the copy's pixel is `scale` of the picture's.
  if (across.valid) {
    across = Refined(picture, level, across, diagonal * found.scale, 1.5 * found.scale + 1);
  }
  double c_across = Confidence(across, kLevelShare, all_lines);
  // Level lines that make only a small part of the picture's straight lines, the rest
  // going every which way (bristles, grass, branches), are parallel by chance.
  if (all_lines > 0) {
    c_across *= std::clamp((across.coarse_support / all_lines - kChance) / kChanceRange, 0.0, 1.0);
  }
  double c_up = Confidence(up, kUprightShare, 0);
  if (c_across > 0 && c_up > 0 && std::abs(across.tilt - up.tilt) > kUprightInlier) {
    // One reading much the stronger outweighs the other; otherwise nothing is sure.
    // Perspective makes level lines converge while upright ones near the centre stay
    // upright, so where both are strong the upright lines are believed.
    const double a = across.support * across.share, u = up.support * up.share;
    if (a > 2 * u) {
      c_up = 0;
    } else if (u > 2 * a || (c_up >= 1 && u > a)) {
      c_across = 0;
    } else {
      suggestion.tilt = -across.tilt;
      suggestion.reason = kLinesDisagree;
      return suggestion;
    }
  }
  if (c_across <= 0 && c_up <= 0) return suggestion;
  // Agreeing, the upright lines are believed where they are sure and not much the weaker.
  const bool by_upright =
      c_up > 0 && (c_across <= 0 || (c_up >= kLevelConfidence &&
                                     2 * up.support * up.share >= across.support * across.share));
  const double lines = by_upright ? up.tilt : across.tilt;
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
