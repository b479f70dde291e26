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

#include "tools/reference_lines.h"

namespace photo_corpus {

struct Photo {
  std::string name;  // "coldripple"
  // What it shows: "dusk", "horizon", "pier", "building", "street", "interior",
  // "trunks", "document"; "diagonal" (lines that are not the level: silence is right)
  // and "none" (no dominant line: silence is right).
  std::string kind;
  // The lines its own level is measured on, chosen by eye (reference_lines.h); none for
  // "diagonal" and "none".
  std::vector<reference_lines::Line> references;
  // Kept out of the suggestion's tuning: chosen with the others, by what they show, and
  // never looked at while its constants were set; scored apart.
  bool held_out = false;
  std::string path;     // under /usr/share
  std::string package;  // the Debian package that ships it
};

// A photo whose own level has a standard error of at most this (degrees) from the scatter
// of its reference lines has its level known to a tenth (two standard errors); the
// others' level is known only roughly, and they are scored apart.
inline constexpr double kSure = 0.05;

// Every photo, in a fixed order.
const std::vector<Photo>& Photos();

// The photo as its package ships it (a staff cut from its page put back on one), at its
// own resolution; null when the file is missing.
QImage Original(const Photo& photo);

struct Sample {
  std::string name;  // photo and turn: "coldripple+3.4"
  std::string kind;
  // The clockwise turn that levels the sample: -(own tilt + the turn), the own tilt
  // measured on the photo's reference lines; none for photos without a level.
  std::optional<double> tilt;
  bool sure = false;  // the photo's level is known to a tenth (kSure)
  double spread = 0;  // how well it is known (reference_lines::Level::spread)
  bool held_out = false;
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
