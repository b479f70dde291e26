// The one EXIF field a viewer must obey: which way up the picture is, wherever a format
// keeps its EXIF block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// The orientation (1 to 8) in an APP1 "Exif\0\0" payload; 1 when there is none, it is
// out of range or the payload is damaged. Reads nothing outside [data, data + size).
int ExifOrientation(const uint8_t* data, size_t size);

// The same in a bare EXIF block (a TIFF header and its first directory), as PNG's eXIf
// chunk and WebP's EXIF chunk hold it; a block that starts "Exif\0\0" is taken too.
int TiffOrientation(const uint8_t* data, size_t size);

// The orientation a PNG (its eXIf chunk) or a WebP (its EXIF chunk) file carries; 1 for
// none, for another format, or for a damaged file.
int ContainerOrientation(const std::vector<uint8_t>& file);

}  // namespace platform
