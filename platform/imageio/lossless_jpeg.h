// Right-angle turns of a JPEG in its coded form: the blocks' coefficients moved and
// transposed, never decoded and encoded again, so that nothing is lost (what jpegtran's
// -perfect does). The picture's EXIF orientation goes into the same transform, since
// what is turned is the picture as it stands upright.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/pixels/picture.h"

namespace platform {

// A coded turn begun on a thread of its own before anyone asks for it, when what will be
// saved is known before the picture is even decoded (a command line that says so).
struct CodedTurnAhead;

struct CodedJpeg {
  std::vector<uint8_t> file;                    // as it was read
  int orientation = 1;                          // EXIF's, which the decoder obeyed
  std::shared_ptr<const CodedTurnAhead> ahead;  // mostly none
};

// Starts turning `file`, a JPEG whose header gives EXIF orientation `orientation`, as
// LosslesslyTurned of its picture by `quarters` would; LosslesslyTurned then takes the
// result when asked for the same turn. None when that turn moves nothing.
std::shared_ptr<const CodedTurnAhead> TurnCodedAhead(std::vector<uint8_t> file, int orientation,
                                                     int quarters);

// The coded data of `picture`'s JPEG file turned by `quarters` clockwise quarter turns of
// the upright picture, as a new JPEG file without metadata; when nothing moves, the file
// as it was read, unless `bare` asks for none of its markers either. None, with `why` saying why in
// a few words, when the picture keeps no coded JPEG (another format, a colour profile or
// CMYK, which the decoder converted) or its sides are not whole blocks in the direction
// the turn needs.
std::optional<std::vector<uint8_t>> LosslesslyTurned(const Picture& picture, int quarters,
                                                     bool bare, std::string& why);

}  // namespace platform
