// A photo's own level, measured on lines chosen by eye (a horizon, planks, staff lines,
// door frames) and fitted at the photo's full resolution: the ground truth of the photo
// corpus, not the suggestion's way of working (no line is found here, only followed).
//
// Each line is given by its two ends, roughly (a few pixels off will do); along it, every
// two pixels, the edge (or, for a thin line, its middle) is found to a fraction of a
// pixel across the line, and a straight line is fitted to those points, the stray ones
// (a boat on the horizon, a knot in a plank) left out.
#pragma once

#include <QImage>
#include <vector>

namespace reference_lines {

struct Line {
  // Level lines are level in the scene and face the camera (a horizon, the front of a
  // pier, text lines): their tilt is the photo's. Upright lines are upright in the scene
  // (walls, door frames, trunks): perspective makes them meet at a point, and the photo's
  // tilt is that point's direction from the photo's centre.
  enum Kind { kLevel, kUpright } kind = kLevel;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the ends, as shares of the width and height
  // A thin line (a cable, a staff line) rather than the edge between two areas.
  bool thin = false;
};

struct Fit {
  double tilt = 0;   // clockwise, degrees: from level for level lines, from upright else
  double error = 0;  // the fit's standard error of the tilt, degrees
  double rms = 0;    // the points' distance from the fitted line, pixels
  int points = 0;    // the points kept
  // The fitted line at the photo's resolution, for the vanishing point.
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The fitted line; points 0 when the line has no edge to follow.
Fit FitLine(const QImage& photo, const Line& line);

struct Level {
  double tilt = 0;  // the photo's own tilt, clockwise, degrees
  // How well it is known, degrees: the standard error of the level lines' mean, or of the
  // upright lines' reading (each left out in turn), or half the gap between the two
  // readings, whichever is largest; 1 with fewer than two level or three upright lines.
  double spread = 0;
  std::vector<Fit> fits;  // in the order of the lines
};

// The tilt from the level lines (their mean) and from the upright lines (the direction of
// the point where they meet, from the centre, assumed to be the lens's axis), the mean of
// the two where both are given.
Level MeasureLevel(const QImage& photo, const std::vector<Line>& lines);

}  // namespace reference_lines
