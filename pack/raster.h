// A picture read from a BMP or PNG file, in one of the pixel layouts the picture formats store:
// rows from the top, each width x (bitsPerPixel / 8) bytes without padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

struct Raster {
  int64_t width = 0;
  int64_t height = 0;
  // 8: colour indexes into the palette; 16: 5-5-5 pixels (16-bit little-endian words); 24: blue,
  // green, red; 32: blue, green, red, alpha.
  int bitsPerPixel = 32;
  std::vector<uint8_t> palette;  // at 8 bits: 256 entries of blue, green, red, fourth byte
  std::vector<uint8_t> pixels;

  size_t rowBytes() const {
    return static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8);
  }
  const uint8_t* row(int64_t y) const {
    return pixels.data() + static_cast<size_t>(y) * rowBytes();
  }
};

// The raster in 32 bits: palette colours, widened 5-5-5 pixels and 24-bit pixels, all opaque
// (alpha 255); a 32-bit raster as it is.
Raster toBgra(const Raster& raster);

}  // namespace quorvel
