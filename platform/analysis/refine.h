// A straight line found on the reduced copy, followed again on the picture itself: its
// edge found to a fraction of a pixel along its whole length, and beyond its ends for as
// long as it runs on straight, and a line fitted to it. A horizon found in pieces, or
// planks a lens has bowed, are read over their whole length this way rather than by the
// piece the detector happened to find.
#pragma once

#include "platform/pixels/pixel_view.h"

namespace platform {

struct RefinedLine {
  bool valid = false;
  double tilt = 0;    // clockwise, degrees, from the direction of x0,y0 -> x1,y1 given
  double length = 0;  // from the first point followed to the last, pixels
  double rms = 0;     // the points' distance from the fitted line, pixels
  int points = 0;
};

// Follows the edge near the segment from (x0, y0) to (x1, y1), in the picture's pixels,
// known to within `reach` pixels across.
RefinedLine RefineLine(ConstPixelView picture, double x0, double y0, double x1, double y1,
                       double reach);

}  // namespace platform
