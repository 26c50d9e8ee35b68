// Reads PNG files into 32-bit rasters (blue, green, red and straight alpha, as PNG stores it)
// through libspng, strictly and completely: every colour type is read; palette, grey and colour
// pictures without alpha come out opaque (their tRNS chunk applied), interlaced ones are read
// whole, and 16-bit channels are reduced to their high byte. Every chunk's checksum is checked,
// the data is read to IEND, and a damaged file (a bad checksum, a cut or lying chunk, a palette
// index past the palette, a deflate stream that is broken or too short) is refused with what is
// wrong, never read with guesses.
//
// Hostile input: sides of 1 to 16777215, the size a picture file can hold and enough compressed
// data for the pixels (deflate cannot make more than about 1032 bytes of one) are checked on the
// header, before the pixels are allocated; chunks are held to the file's own size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/raster.h"

namespace quorvel {

bool readPng(const uint8_t* file, size_t size, Raster& out, std::string& problem);

}  // namespace quorvel
