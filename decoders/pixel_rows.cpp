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
// Stores the first three bytes of each of the four pixels in quad as 12 bytes: shifted together
// within the two 64-bit halves, then written as two 8-byte stores 6 bytes apart. 14 bytes are
// written; the last two belong to the next pixel, so callers stop while at least one more
// pixel follows and write it afterwards.
inline void storeThreeByteQuad(uint8_t* destination, __m128i quad) {
  const __m128i lowPixel = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i highPixel = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                          static_cast<int>(0xFF000000u));
  const __m128i packed = _mm_or_si128(_mm_and_si128(quad, lowPixel),
                                      _mm_and_si128(_mm_srli_epi64(quad, 8), highPixel));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), packed);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 6), _mm_unpackhi_epi64(packed, packed));
}

// Four pixels at a time in 16-bit lanes; the fourth byte of each blended pixel is dropped.
size_t blendFourAtATime(uint8_t* destination, const uint8_t* source, size_t width,
                        uint32_t background) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i full = _mm_set1_epi16(255);
  const __m128i backgroundBytes = _mm_set1_epi32(static_cast<int>(background));
  const __m128i backgroundWords = _mm_unpacklo_epi8(backgroundBytes, zero);
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
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
    storeThreeByteQuad(destination, blended);
  }
  return x;
}

// Four pixels at a time: each colour times its factor (the 7-bit alpha, 128 for 0) in 16-bit
// lanes, shifted right by 7; stored as blendFourAtATime does.
size_t scaleFourAtATime(uint8_t* destination, const uint8_t* source, size_t width) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i sevenBits = _mm_set1_epi16(0x7F);
  const __m128i scaleOfZero = _mm_set1_epi16(128);
  size_t x = 0;
  for (; x + 5 <= width; x += 4, source += 16, destination += 12) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    __m128i words[2] = {_mm_unpacklo_epi8(pixels, zero), _mm_unpackhi_epi8(pixels, zero)};
    for (__m128i& w : words) {
      __m128i alpha =
          _mm_and_si128(_mm_shufflehi_epi16(_mm_shufflelo_epi16(w, 0xFF), 0xFF), sevenBits);
      const __m128i none = _mm_cmpeq_epi16(alpha, zero);
      alpha = _mm_or_si128(_mm_andnot_si128(none, alpha), _mm_and_si128(none, scaleOfZero));
      w = _mm_srli_epi16(_mm_mullo_epi16(w, alpha), 7);
    }
    storeThreeByteQuad(destination, _mm_packus_epi16(words[0], words[1]));
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

void scaleRowBySevenBitAlphaPlain(uint8_t* destination, const uint8_t* source, size_t width) {
  for (size_t x = 0; x < width; ++x, source += 4, destination += 3) {
    // A 7-bit alpha of 0 leaves the colour as it is: the same as scaling by 128/128.
    const unsigned alpha = source[3] & 0x7Fu;
    const unsigned factor = alpha == 0 ? 128u : alpha;
    for (int k = 0; k < 3; ++k) destination[k] = static_cast<uint8_t>((source[k] * factor) >> 7);
  }
}

void scaleRowBySevenBitAlpha(uint8_t* destination, const uint8_t* source, size_t width) {
  size_t done = 0;
#if defined(__SSE2__)
  done = scaleFourAtATime(destination, source, width);
#endif
  scaleRowBySevenBitAlphaPlain(destination + 3 * done, source + 4 * done, width - done);
}

void blendRowOver(uint8_t* destination, const uint8_t* source, size_t width, uint32_t background) {
  size_t done = 0;
#if defined(__SSE2__)
  done = blendFourAtATime(destination, source, width, background);
#endif
  blendRowOverPlain(destination + 3 * done, source + 4 * done, width - done, background);
}

}  // namespace quorvel
