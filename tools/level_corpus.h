// Pictures whose level is known, for the level suggestion's tests and its benchmark:
// text pages, horizons and building fronts, each turned by a known angle, and pictures
// with no dominant line.
#pragma once

#include <QImage>
#include <optional>
#include <string>
#include <vector>

namespace level_corpus {

struct Sample {
  std::string name;  // kind, then the turn: "document-+5.9"
  std::string kind;  // "document", "horizon", "building", or "none"
  // The clockwise turn that levels it (the negative of how it was turned); none for
  // pictures without a dominant line.
  std::optional<double> tilt;
  QImage image;  // opaque, 1200 x 900, no border: cut from inside the turned scene
};

// The same pictures at every call with the same `set` (fixed seeds). Set 0 is the tests';
// others draw other scenes and turn them by other angles, for trying the suggestion on
// pictures it was not tuned on. Needs a font: DejaVu Sans.
std::vector<Sample> Make(unsigned set = 0);

}  // namespace level_corpus
