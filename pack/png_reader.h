// Reads PNG files into 32-bit rasters (blue, green, red and straight alpha, as PNG stores it)
// through stb_image. Every colour type is read; palette, grey and colour pictures without alpha
// come out opaque, interlaced ones are read whole, and 16-bit channels are reduced to 8 bits.
//
// Hostile input: before the decoder allocates anything, the file's header is checked (a PNG
// signature, a first IHDR chunk, sides of 1 to 16777215), every chunk up to IEND must lie inside
// the file (the decoder makes room for a chunk before it reads it), and the size the pixels need
// is checked against the compressed data: deflate cannot make more than about 1032 bytes of one,
// so a header that announces more is a damaged file and is refused at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/raster.h"

namespace quorvel {

bool readPng(const uint8_t* file, size_t size, Raster& out, std::string& problem);

}  // namespace quorvel
