// PNG files for tests, written and read by libpng (POSIX test builds only), in every colour
// type, bit depth and interlacing a PNG can have.
#pragma once

#include <cstdint>

#include "tests/support/test_support.h"

namespace quorvel::test {

struct PngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int colourType = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
  int bitDepth = 8;
  bool interlaced = false;
  Bytes rows;          // top row first, each row packed as the PNG stores it (16-bit big-endian)
  Bytes palette;       // red, green, blue for each colour (colour type 3)
  Bytes transparency;  // alpha of the first palette colours (colour type 3)
};

Bytes writePng(const PngImage& image);

// The pixels of a PNG file as red, green, blue, alpha (8 bits each), read by libpng; empty when
// it cannot be read.
Bytes readPngRgba(const Bytes& png, uint32_t& width, uint32_t& height);

}  // namespace quorvel::test
