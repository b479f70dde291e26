// The straight segments of a picture, on a reduced grey copy: what the level is read from.
#pragma once

#include <vector>

#include "platform/pixels/pixel_view.h"

namespace platform {

struct Segment {
  double x0, y0, x1, y1;  // the ends, in pixels of the reduced copy (y down)
};

struct Segments {
  int width = 0, height = 0;  // the reduced copy's size
  int scale = 1;              // the picture's pixels to one of the copy's, each way
  std::vector<Segment> segments;
};

// Each pixel of the copy is the mean luma of a square block of the picture (the area
// filter: no aliasing of fine texture into lines that are not there), the copy holding at
// most `pixels` pixels; its segments come from a line segment detector, which validates
// each against chance, so that texture and noise give few.
Segments SegmentsOf(ConstPixelView picture, double pixels);

}  // namespace platform
