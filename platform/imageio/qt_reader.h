// Every other format, through the toolkit's image readers (its own and Debian's plugins:
// PNG, GIF, BMP, WebP, TIFF, TGA, ...): the first page or frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/imageio/decoded.h"

namespace platform {

// Raises, naming the path: not a picture or damaged (481), too large (7).
Decoded ReadWithToolkit(const std::vector<uint8_t>& bytes, const std::string& path);

}  // namespace platform
