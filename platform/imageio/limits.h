// How large a picture the program takes on.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Pictures larger than this many pixels are refused before anything is decoded.
inline constexpr int64_t kMaxPicturePixels = int64_t{256} * 1024 * 1024;

// Raises Out of memory (7), naming the path, for a picture larger than kMaxPicturePixels.
void CheckPictureSize(int64_t width, int64_t height, const std::string& path);

}  // namespace platform
