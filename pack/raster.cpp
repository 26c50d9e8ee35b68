#include "pack/raster.h"

#include "decoders/bytes.h"

namespace quorvel {

namespace {

// A 5-bit channel spread over 8 bits, so that 0 stays 0 and 31 becomes 255.
uint8_t widen5(uint32_t value) {
  return static_cast<uint8_t>((value << 3) | (value >> 2));
}

}  // namespace

Raster toBgra(const Raster& raster) {
  if (raster.bitsPerPixel == 32) return raster;
  Raster out;
  out.width = raster.width;
  out.height = raster.height;
  out.bitsPerPixel = 32;
  const size_t count = static_cast<size_t>(raster.width) * static_cast<size_t>(raster.height);
  out.pixels.resize(count * 4);
  const uint8_t* in = raster.pixels.data();
  uint8_t* pixel = out.pixels.data();
  for (size_t i = 0; i < count; ++i, pixel += 4) {
    switch (raster.bitsPerPixel) {
      case 8: {
        const uint8_t* colour = raster.palette.data() + 4 * in[i];
        pixel[0] = colour[0];
        pixel[1] = colour[1];
        pixel[2] = colour[2];
        break;
      }
      case 16: {
        uint32_t word = loadU16(in + 2 * i);
        pixel[0] = widen5(word & 31);
        pixel[1] = widen5((word >> 5) & 31);
        pixel[2] = widen5((word >> 10) & 31);
        break;
      }
      default:
        pixel[0] = in[3 * i];
        pixel[1] = in[3 * i + 1];
        pixel[2] = in[3 * i + 2];
        break;
    }
    pixel[3] = 255;
  }
  return out;
}

}  // namespace quorvel
