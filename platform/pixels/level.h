// The level of a picture: the turn that makes its dominant straight lines level or
// upright (text lines and page edges, horizons, walls, windows, masts), found from the
// picture's own edges.
//
// Every strong edge says which way its line runs. Folded modulo 90 degrees, so that a
// horizon and a wall tilted alike say the same, and weighed by how strong they are, the
// edges of a picture with dominant lines pile up at one tilt; those of foliage, clouds
// or noise spread evenly. The tilt is read off the pile, to a fraction of a degree.
#pragma once

#include <optional>

#include "platform/pixels/pixel_view.h"

namespace platform {

struct LevelSuggestion {
  // The clockwise turn, in degrees from -45 to 45, that levels the dominant lines.
  double tilt = 0;
  // 0 (no line stands out) to 1 (one direction holds the picture's strong edges); lines
  // near 45 degrees, which could be level either way, count for less.
  double confidence = 0;
  // The bar's value for the turn: round(tilt) mod 360; none without a dominant line.
  std::optional<int> level;
};

// Works on a reduced grey copy of about a megapixel; `picture` premultiplied ARGB.
LevelSuggestion SuggestLevel(ConstPixelView picture);

// The confidence below which there is no suggestion.
inline constexpr double kLevelConfidence = 0.2;

}  // namespace platform
