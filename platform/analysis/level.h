// The level of a picture: the turn that makes its dominant straight lines level or
// upright (a horizon, the planks of a pier, text lines and page edges, walls, door frames,
// trunks), found from the picture's own straight segments, or no suggestion at all.
//
// Level lines and upright lines are read apart. Parallel level lines (or one horizon
// across the picture) give their tilt; upright lines give the tilt at the picture's
// centre column, since a camera turned up or down makes them lean more the further they
// stand from it. Lines in perspective (a street, a pier running away, grass) do not agree
// with each other to a fraction of a degree and so do not count. When neither reading is
// sure, or the two disagree, there is no suggestion, and the reason says why.
#pragma once

#include <optional>
#include <string>

#include "platform/pixels/pixel_view.h"

namespace platform {

struct LevelSuggestion {
  // The clockwise turn, in degrees, that levels the dominant lines (the lines' own tilt,
  // negated); accurate to a few hundredths where there is a suggestion.
  double tilt = 0;
  // 0 (nothing to go by) to 1 (many long lines agree to a fraction of a degree).
  double confidence = 0;
  // The bar's value for the turn: round(tilt) mod 360; none when not sure.
  std::optional<int> level;
  // Why there is no suggestion, in a few words; empty when there is one.
  std::string reason;
};

// Works on a reduced grey copy of about half a megapixel; `picture` premultiplied ARGB.
LevelSuggestion SuggestLevel(ConstPixelView picture);

// The confidence below which there is no suggestion.
inline constexpr double kLevelConfidence = 0.3;

// The reasons given without a suggestion.
inline constexpr const char* kNoLevelLine = "no level line found";
inline constexpr const char* kLinesDisagree = "lines disagree";

}  // namespace platform
