// The one EXIF field a viewer must obey: which way up the picture is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// The orientation (1 to 8) in an APP1 "Exif\0\0" payload; 1 when there is none, it is
// out of range or the payload is damaged. Reads nothing outside [data, data + size).
int ExifOrientation(const uint8_t* data, size_t size);

}  // namespace platform
