#include "platform/imageio/exif.h"

#include <cstring>

namespace platform {

namespace {

constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

uint32_t BigEndian32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

uint32_t LittleEndian32(const uint8_t* at) {
  return uint32_t{at[3]} << 24 | uint32_t{at[2]} << 16 | uint32_t{at[1]} << 8 | at[0];
}

int PngOrientation(const std::vector<uint8_t>& file) {
  // Chunks after the signature: length, type, data, CRC.
  for (size_t at = 8; at + 8 <= file.size();) {
    const uint32_t length = BigEndian32(&file[at]);
    if (length > file.size() - at - 8) return 1;
    const uint8_t* type = &file[at + 4];
    if (std::memcmp(type, "eXIf", 4) == 0) return TiffOrientation(&file[at + 8], length);
    if (std::memcmp(type, "IEND", 4) == 0) return 1;
    if (file.size() - at - 8 - length < 4) return 1;
    at += 8 + size_t{length} + 4;
  }
  return 1;
}

int WebpOrientation(const std::vector<uint8_t>& file) {
  // RIFF, size, WEBP, then chunks: type, little-endian size, data padded to even.
  for (size_t at = 12; at + 8 <= file.size();) {
    const uint32_t length = LittleEndian32(&file[at + 4]);
    if (length > file.size() - at - 8) return 1;
    if (std::memcmp(&file[at], "EXIF", 4) == 0) return TiffOrientation(&file[at + 8], length);
    const size_t padded = size_t{length} + (length & 1);
    if (padded > file.size() - at - 8) return 1;
    at += 8 + padded;
  }
  return 1;
}

}  // namespace

int ExifOrientation(const uint8_t* data, size_t size) {
  if (size < 6 || std::memcmp(data, kExifHeader, 6) != 0) return 1;
  return TiffOrientation(data + 6, size - 6);
}

int TiffOrientation(const uint8_t* tiff, size_t length) {
  if (length >= 6 && std::memcmp(tiff, kExifHeader, 6) == 0) {
    tiff += 6;
    length -= 6;
  }
  // A TIFF header: byte order, 42, the first directory's offset.
  if (length < 8) return 1;
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

int ContainerOrientation(const std::vector<uint8_t>& file) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() >= 8 && std::memcmp(file.data(), kPng, 8) == 0) return PngOrientation(file);
  if (file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0 &&
      std::memcmp(file.data() + 8, "WEBP", 4) == 0) {
    return WebpOrientation(file);
  }
  return 1;
}

}  // namespace platform
