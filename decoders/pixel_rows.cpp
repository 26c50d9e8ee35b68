#include "decoders/pixel_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

// Per channel bg + floor((s - bg) * (a + 1) / 256) equals (s * (a + 1) + bg * (255 - a)) >> 8,
// whose terms never exceed 16 bits (255 * 256 at most). Alpha 255 gives the source exactly;
// alpha 0 is the background by definition (the formula would be off by one there).
inline uint8_t blendChannelOf(unsigned source, unsigned background, unsigned alpha) {
  return static_cast<uint8_t>((source * (alpha + 1) + background * (255 - alpha)) >> 8);
}

inline void blendPixelPlain(uint8_t* d, const uint8_t* s, uint32_t background) {
  const unsigned alpha = s[3];
  for (int k = 0; k < 3; ++k) {
    const unsigned bg = (background >> (8 * k)) & 0xFF;
    d[k] = alpha == 0 ? static_cast<uint8_t>(bg) : blendChannelOf(s[k], bg, alpha);
  }
}

#if defined(__SSE2__)
// Four pixels at a time in 16-bit lanes. The blended pixels (blue, green, red and a byte that is
// dropped) are packed into three bytes each by shifting within the two 64-bit halves, and stored
// as two 8-byte writes 6 bytes apart; the last two bytes of the second write are overwritten by
// the next four pixels, so the loop stops while at least one more pixel follows.
size_t blendFourAtATime(uint8_t* destination, const uint8_t* source, size_t width,
                        uint32_t background) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i full = _mm_set1_epi16(255);
  const __m128i backgroundBytes = _mm_set1_epi32(static_cast<int>(background));
  const __m128i backgroundWords = _mm_unpacklo_epi8(backgroundBytes, zero);
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i lowPixel = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i highPixel = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                          static_cast<int>(0xFF000000u));
  size_t x = 0;
  for (; x + 5 <= width; x += 4, source += 16, destination += 12) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    __m128i words[2] = {_mm_unpacklo_epi8(pixels, zero), _mm_unpackhi_epi8(pixels, zero)};
    for (__m128i& w : words) {
      const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(w, 0xFF), 0xFF);
      const __m128i sourcePart = _mm_mullo_epi16(w, _mm_add_epi16(alpha, one));
      const __m128i backgroundPart = _mm_mullo_epi16(backgroundWords, _mm_sub_epi16(full, alpha));
      w = _mm_srli_epi16(_mm_add_epi16(sourcePart, backgroundPart), 8);
    }
    __m128i blended = _mm_packus_epi16(words[0], words[1]);
    const __m128i transparent = _mm_cmpeq_epi32(_mm_and_si128(pixels, alphaBytes), zero);
    blended = _mm_or_si128(_mm_andnot_si128(transparent, blended),
                           _mm_and_si128(transparent, backgroundBytes));
    const __m128i packed = _mm_or_si128(_mm_and_si128(blended, lowPixel),
                                        _mm_and_si128(_mm_srli_epi64(blended, 8), highPixel));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), packed);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 6),
                     _mm_unpackhi_epi64(packed, packed));
  }
  return x;
}
#endif

}  // namespace

void blendRowOverPlain(uint8_t* destination, const uint8_t* source, size_t width,
                       uint32_t background) {
  for (size_t x = 0; x < width; ++x, source += 4, destination += 3) {
    blendPixelPlain(destination, source, background);
  }
}

void blendRowOver(uint8_t* destination, const uint8_t* source, size_t width, uint32_t background) {
  size_t done = 0;
#if defined(__SSE2__)
  done = blendFourAtATime(destination, source, width, background);
#endif
  blendRowOverPlain(destination + 3 * done, source + 4 * done, width - done, background);
}

}  // namespace quorvel
