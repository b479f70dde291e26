// The bilinear blend of the fast draw's one-pixel loop: two versions of one formula, the
// SSE2 one where the compiler has SSE2 (every x86-64) and a portable one for the rest.
// Both are always compiled, so that the tests hold the portable one to the other.
#pragma once

#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

// Blend of the 2 x 2 pixels top[0], top[1], bottom[0], bottom[1] with 8-bit weights (wx,
// wy in 0..255, out of 256): vertical first, rounded to 8 bits, then horizontal, rounded.
// At most 1.5 levels from the exact blend.
inline uint32_t BilinearPortable(const uint32_t* top, const uint32_t* bottom, uint32_t wx,
                                 uint32_t wy) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    auto at = [shift](uint32_t pixel) { return (pixel >> shift) & 0xFF; };
    const uint32_t left = (at(top[0]) * (256 - wy) + at(bottom[0]) * wy + 128) >> 8;
    const uint32_t right = (at(top[1]) * (256 - wy) + at(bottom[1]) * wy + 128) >> 8;
    out |= ((left * (256 - wx) + right * wx + 128) >> 8) << shift;
  }
  return out;
}

#if defined(__SSE2__)
inline uint32_t BilinearSse2(const uint32_t* top, const uint32_t* bottom, uint32_t wx,
                             uint32_t wy) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i t = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top)), zero);
  const __m128i b =
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom)), zero);
  const __m128i half = _mm_set1_epi16(128);
  // Lanes 0-3: left pixel, 4-7: right pixel; each at most 255 * 256, so no carry.
  __m128i v = _mm_add_epi16(_mm_mullo_epi16(t, _mm_set1_epi16(static_cast<short>(256 - wy))),
                            _mm_mullo_epi16(b, _mm_set1_epi16(static_cast<short>(wy))));
  v = _mm_srli_epi16(_mm_add_epi16(v, half), 8);
  __m128i h =
      _mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(static_cast<short>(256 - wx))),
                    _mm_mullo_epi16(_mm_srli_si128(v, 8), _mm_set1_epi16(static_cast<short>(wx))));
  h = _mm_srli_epi16(_mm_add_epi16(h, half), 8);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(h, h)));
}
#endif

inline uint32_t Bilinear(const uint32_t* top, const uint32_t* bottom, uint32_t wx, uint32_t wy) {
#if defined(__SSE2__)
  return BilinearSse2(top, bottom, wx, wy);
#else
  return BilinearPortable(top, bottom, wx, wy);
#endif
}

}  // namespace platform
