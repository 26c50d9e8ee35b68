// Reads BMP files into rasters. Hostile input: every size, offset and count in the file is
// checked against the file before it is used, and nothing is allocated before the file is known
// to hold every pixel it announces.
//
// Read: uncompressed BMPs of 1, 4, 8, 16, 24 and 32 bits, with colour masks at 16 and 32 bits,
// bottom-up or top-down, behind any version of the info header (40, 52, 56, 108 or 124 bytes).
// What the picture formats store directly stays as it is: 8-bit indexes with their colour table,
// 5-5-5 pixels, 24-bit pixels, and 32-bit pixels whose fourth byte is alpha. 1- and 4-bit
// pictures become 8-bit ones with the same colours; pixels in any other mask layout become 32-bit
// ones (opaque where there is no alpha mask).
// Refused, with a short reason: compressed pixels, the old 12- and 64-byte headers, other depths,
// and files that do not hold what their headers announce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/raster.h"

namespace quorvel {

bool readBmp(const uint8_t* file, size_t size, Raster& out, std::string& problem);

}  // namespace quorvel
