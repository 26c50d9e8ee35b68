// Tiled picture files of type 0x0B made from 32-bit rasters of one size, one image each, in the
// order given (the decoders draw them back pixel for pixel with -raw). Each image is cut into
// square cells of 16 or 32 pixels (narrower in the last column, lower in the last row): a cell
// whose pixels are all zero becomes an empty tile, a cell of one colour a solid tile through the
// colour table, any other a stored tile; identical stored tiles share one record.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pack/raster.h"

namespace quorvel {

// Nothing when the images do not fit the format: more tile columns or rows than 65535, more
// than 32767 distinct stored tiles or 32768 solid colours (index entries are 16 bits), or sides
// that differ. No images at all make a file of no images (a series that extracts to an empty
// folder).
std::optional<std::vector<uint8_t>> encodeTiled(std::span<const Raster> images, int tileEdge);

}  // namespace quorvel
