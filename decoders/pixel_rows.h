// Row routines for 32-bit pixels (blue, green, red, alpha) that run over whole rows: the blend
// over a background into three-byte pixels, and the scaling toward black by a 7-bit alpha. Written
// for the vector unit where the compiler has one it may use without asking the processor (SSE2 on
// x86-64), with a plain loop elsewhere and for the tail of a row; both give the bytes of blendPixel
// exactly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// The background as one value: blue | green << 8 | red << 16.
constexpr uint32_t backgroundPixel(const uint8_t* blueGreenRed) {
  return uint32_t{blueGreenRed[0]} | (uint32_t{blueGreenRed[1]} << 8) |
         (uint32_t{blueGreenRed[2]} << 16);
}

// width pixels of source blended over the background into 3 * width bytes of destination.
void blendRowOver(uint8_t* destination, const uint8_t* source, size_t width, uint32_t background);

// The same, one pixel at a time without the vector unit.
void blendRowOverPlain(uint8_t* destination, const uint8_t* source, size_t width,
                       uint32_t background);

// width pixels of source into 3 * width bytes of destination, each colour scaled by the pixel's
// 7-bit alpha (the fourth byte's low 7 bits): scaleChannel, except that alpha 0 keeps the colour.
void scaleRowBySevenBitAlpha(uint8_t* destination, const uint8_t* source, size_t width);
void scaleRowBySevenBitAlphaPlain(uint8_t* destination, const uint8_t* source, size_t width);

}  // namespace quorvel
