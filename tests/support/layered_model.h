// Layered pictures built from top-down images, and the canvas they must paint, worked out from
// the format's rules rather than from the decoder: each later layer replaces its whole rectangle,
// and pixels that no run covers (all-zero pixels of an image) stay zero.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/writer/px40_writer.h"

namespace quorvel::test {

struct ImageLayer {
  int x, y, width, height;
  Bytes image;  // top-down, depth / 8 bytes per pixel
  int depth = 32;
};

// A kind 64 picture of these layers, each stored as the runs of its image.
writer::Px40Picture imageLayersPicture(int width, int height,
                                       const std::vector<ImageLayer>& layers);

// A stored 32-bit pixel as it comes out: scaled toward black by its 7-bit alpha (0 meaning
// opaque) when blended, or with its alpha 0 turned into 255 and any other doubled when raw.
void outputPixel32(const uint8_t* stored, bool raw, uint8_t* out);

// Canvas pixel (x, y), counted from the top, with outBytes per pixel: 3 (blended, or raw with
// only 24-bit layers) or 4 (raw with a 32-bit layer, where 24-bit pixels are opaque). Writes
// nothing where no layer has a stored pixel.
void paintedPixel(const std::vector<ImageLayer>& layers, int x, int y, int outBytes, uint8_t* out);

}  // namespace quorvel::test
