// HEIC/HEIF (phone cameras) and AVIF through libheif.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/imageio/decoded.h"

namespace platform {

// An ISO base media file whose brand libheif reads.
bool IsHeif(const std::vector<uint8_t>& bytes);

// The primary image, turned upright as the file says. Raises, naming the path: damaged
// or undecodable (481), more than kMaxPicturePixels (7).
Decoded ReadHeif(const std::vector<uint8_t>& bytes, const std::string& path);

}  // namespace platform
