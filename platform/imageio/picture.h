// The loader of pictures (platform/pixels/picture.h).
#pragma once

#include <optional>
#include <string>

#include "platform/imageio/limits.h"
#include "platform/pixels/picture.h"

namespace platform {

// Reads a picture in any format the program knows (JPEG, HEIC and AVIF through their
// own libraries, the rest through the toolkit's readers), told by its content, not its
// name. It comes out upright and in sRGB, premultiplied. `path` is the file name's bytes,
// whatever their encoding. Raises, naming the path: file not found (53), not readable or
// not a file (75), not a picture, damaged or cut short (481), too large (7).
Picture LoadPicture(const std::string& path);

// Starts reading `path` on a thread of its own when it is a JPEG, so that the program's
// own start (the toolkit's) and the decoding overlap; the next LoadPicture of the same
// path takes the result, errors included, exactly as it would have read it itself. Any
// other file is left to LoadPicture. `coded_quarters`, when the caller knows already that
// it will save the picture as a JPEG turned by that many quarter turns, starts that turn
// of its coded data as well (lossless_jpeg.h), beside the decoding.
void PrefetchPicture(const std::string& path, std::optional<int> coded_quarters = std::nullopt);

}  // namespace platform
