// Real photographs whose level is known, from Debian's wallpaper and documentation
// packages (installed by scripts/install-deps.sh), each tilted by known angles the way a
// hand-held camera or a scanner would leave it: turned with a bicubic filter, cut to the
// largest rectangle inside the turned picture (no corner gives the angle away), saved as
// JPEG at quality 85 to 92 so that its 8 x 8 blocks are there. For the level
// suggestion's tests and its benchmark; tools/level_corpus holds the drawn, clean cases.
#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>
#include <string>
#include <vector>

namespace photo_corpus {

struct Photo {
  std::string name;  // "coldripple"
  // What it shows: "dusk", "horizon", "pier", "building", "street", "interior",
  // "trunks", "document"; "diagonal" (lines that are not the level: silence is right)
  // and "none" (no dominant line: silence is right).
  std::string kind;
  // The photo's own tilt, clockwise, as measured by hand on its reference lines; none for
  // "diagonal" and "none".
  std::optional<double> own_tilt;
  // Whether the reference lines agree to a tenth of a degree (a sea horizon, a pier's
  // planks, staff lines); the others' level is known to about half a degree.
  bool sure = false;
  std::string path;     // under /usr/share
  std::string package;  // the Debian package that ships it
};

// Every photo, in a fixed order.
const std::vector<Photo>& Photos();

struct Sample {
  std::string name;  // photo and turn: "coldripple+3.4"
  std::string kind;
  // The clockwise turn that levels the sample: -(own tilt + the turn); none for photos
  // without a level.
  std::optional<double> tilt;
  bool sure = false;
  QByteArray jpeg;  // the file's bytes
};

// The photo untilted and turned by five angles from -6.6 to 8.2 degrees (one for photos
// without a level), fixed for each photo; empty when the file is missing (`missing` then
// names the package).
std::vector<Sample> SamplesOf(size_t photo, std::string* missing = nullptr);

// The picture turned clockwise by `degrees` about its centre with a bicubic filter and
// cut to the largest rectangle of its own proportions inside the turned picture.
QImage TurnedInside(const QImage& picture, double degrees);

}  // namespace photo_corpus
