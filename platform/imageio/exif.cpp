#include "platform/imageio/exif.h"

#include <cstring>

namespace platform {

int ExifOrientation(const uint8_t* data, size_t size) {
  // "Exif\0\0", then a TIFF header: byte order, 42, the first directory's offset.
  if (size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
  const uint8_t* tiff = data + 6;
  const size_t length = size - 6;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
  const auto u16 = [&](size_t at) -> uint32_t {
    return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
  };
  const auto u32 = [&](size_t at) -> uint32_t {
    return little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
  };
  if (u16(2) != 42) return 1;
  const size_t directory = u32(4);
  if (directory > length || length - directory < 2) return 1;
  const size_t entries = u16(directory);
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + 12 * i;
    if (entry > length || length - entry < 12) return 1;
    // Tag 0x0112, type SHORT, one value, kept in the entry itself.
    if (u16(entry) == 0x0112) {
      const uint32_t value = u16(entry + 8);
      return u16(entry + 2) == 3 && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
  }
  return 1;
}

}  // namespace platform
