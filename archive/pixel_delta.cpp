#include "archive/pixel_delta.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

// Pixels [from, groups) one at a time; previous holds the pixel before `from`.
void undoPlain(uint8_t* bytes, size_t from, size_t groups, uint8_t bias, uint8_t (&previous)[3]) {
  for (size_t g = from; g < groups; ++g) {
    uint8_t* pixel = bytes + 4 * g;
    uint8_t step = static_cast<uint8_t>(pixel[3] - bias);
    for (int j = 0; j < 3; ++j) {
      pixel[j] = static_cast<uint8_t>(pixel[j] + previous[j] + step);
      previous[j] = pixel[j];
    }
    pixel[3] = 255;
  }
}

#if defined(__SSE2__)
// Four pixels at a time: each pixel's colour bytes plus its step, then a running sum over the four
// pixels (whole-pixel shifts keep every colour byte in its lane; bytewise adds are modulo 256, as
// the delta is) on top of the pixel before them. Returns the pixels done.
size_t undoFourAtATime(uint8_t* bytes, size_t groups, uint8_t bias, uint8_t (&previous)[3]) {
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i biases = _mm_set1_epi32(bias);
  __m128i before =
      _mm_set1_epi32(static_cast<int>(previous[0] | (previous[1] << 8) | (previous[2] << 16)));
  size_t g = 0;
  for (; g + 4 <= groups; g += 4) {
    auto* at = reinterpret_cast<__m128i*>(bytes + 4 * g);
    const __m128i pixels = _mm_loadu_si128(at);
    // The step (fourth byte less the bias, modulo 256) copied into the three colour bytes.
    __m128i step = _mm_and_si128(_mm_sub_epi32(_mm_srli_epi32(pixels, 24), biases), lowByte);
    step = _mm_or_si128(step, _mm_slli_epi32(step, 8));
    step = _mm_or_si128(step, _mm_slli_epi32(step, 16));
    __m128i sum = _mm_add_epi8(pixels, step);
    sum = _mm_add_epi8(sum, _mm_slli_si128(sum, 4));
    sum = _mm_add_epi8(sum, _mm_slli_si128(sum, 8));
    sum = _mm_add_epi8(sum, before);
    _mm_storeu_si128(at, _mm_or_si128(sum, opaque));
    before = _mm_shuffle_epi32(sum, 0xFF);  // the last pixel, in every lane
  }
  const auto last = static_cast<uint32_t>(_mm_cvtsi128_si32(before));
  for (int j = 0; j < 3; ++j) previous[j] = static_cast<uint8_t>(last >> (8 * j));
  return g;
}
#endif

}  // namespace

void undoPixelDelta(uint8_t* bytes, size_t length, uint8_t bias) {
  size_t groups = length / 4;
  if (groups == 0) return;
  // All arithmetic is modulo 256; the first pixel is predicted from zero.
  uint8_t previous[3] = {0, 0, 0};
  size_t done = 0;
#if defined(__SSE2__)
  done = undoFourAtATime(bytes, groups, bias, previous);
#endif
  undoPlain(bytes, done, groups, bias, previous);
}

}  // namespace quorvel
