// Writing a picture file: the format told by the name's extension, the file replaced
// only once the new one is complete, the source's metadata carried over.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/imageio/encoders.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/output_format.h"
#include "platform/imageio/output_rows.h"

namespace platform {

struct SaveOptions {
  Quality quality;    // 1 to 100; none: the format's default
  Metadata metadata;  // what to carry over; empty: none
};

// What a save left out of the file (metadata the format has no room for): one sentence
// each, for the user to read; the picture itself is always whole.
using SaveWarnings = std::vector<std::string>;

// Writes `picture` to `path` in the format its extension names (raises 5 for one the
// program does not write, and for HEIC or AVIF without an encoder). A format without
// transparency gets the picture over black. Raises (75) naming `path` when it cannot be
// written; the file that was at `path` is then untouched.
SaveWarnings SavePicture(const OutputPicture& picture, const std::string& path,
                         const SaveOptions& options);

// Writes `file`, a whole picture file in the format `path` names that is `width` x
// `height` pixels, to `path` as SavePicture does: the metadata put in, the file at `path`
// replaced only once the new one is complete.
SaveWarnings SaveFile(const std::vector<uint8_t>& file, int32_t width, int32_t height,
                      const std::string& path, const Metadata& metadata);

// Raises (5) naming `path` unless the program can write its format here: the check
// made before anything is turned.
void CheckWritable(const std::string& path);

}  // namespace platform
