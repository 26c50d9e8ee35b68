// Picture files (.px) made from rasters, each of the kind that the decoders turn back into
// exactly the raster's pixels (and, written as a BMP with -raw, into the BMP the raster came
// from when quorvel wrote it):
// - 8 bits: a plain picture without colour table (kind 1, the grey ramp) when the palette is that
//   ramp, else with the palette (kind 7);
// - 16 bits: a plain picture of 5-5-5 pixels (kind 0);
// - 24 bits: a layered picture with one 24-bit layer over the whole canvas;
// - 32 bits: a plain picture (kind 1), whose alpha bytes the decoder keeps as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/raster.h"

namespace quorvel {

std::vector<uint8_t> encodePicture(const Raster& raster);

}  // namespace quorvel
