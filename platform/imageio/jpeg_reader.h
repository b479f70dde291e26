// JPEG through libjpeg-turbo itself: faster than the toolkit's plugin, and it tells a
// file whose data ends early, which the plugin only logs and shows half grey.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/imageio/decoded.h"

namespace platform {

bool IsJpeg(const std::vector<uint8_t>& bytes);

// The EXIF orientation ReadJpeg would find in the file's header, read without decoding
// anything; 1 when there is none or the header cannot be read.
int JpegOrientation(const std::vector<uint8_t>& bytes);

// Raises, naming the path: damaged or cut short (481), more than kMaxPicturePixels (7).
Decoded ReadJpeg(const std::vector<uint8_t>& bytes, const std::string& path);

}  // namespace platform
