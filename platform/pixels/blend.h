// Compositing of premultiplied pixels, one definition for every caller.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// Source over destination, both premultiplied 0xAARRGGBB: each channel is
// s + d · (255 − αs) / 255, rounded, at most 255. An opaque source replaces the destination.
inline uint32_t Over(uint32_t src, uint32_t dst) {
  const uint32_t alpha = src >> 24;
  if (alpha == 255) return src;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
    out |= std::min<uint32_t>(255, s + (d * (255 - alpha) + 127) / 255) << shift;
  }
  return out;
}

}  // namespace platform
