#include "pack/png_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "decoders/dib.h"

// The decoder is compiled into this file alone, PNG only, with its functions private to it.
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16777215
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace quorvel {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate's best ratio is a little over 1032 to 1; the slack covers the tiny pictures whose
// zlib framing outweighs their pixels.
constexpr uint64_t kMostInflation = 1040;
constexpr uint64_t kInflationSlack = 4096;

uint32_t loadU32BigEndian(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool fail(std::string& problem, const char* text) {
  problem = text;
  return false;
}

// The bytes the filtered rows take when inflated: one filter byte and the packed samples per
// row (an interlaced picture takes a little more, which the slack covers).
uint64_t inflatedBytes(uint64_t width, uint64_t height, unsigned depth, unsigned colourType) {
  unsigned samples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  return height * (1 + (width * samples * depth + 7) / 8);
}

// The signature, a first IHDR chunk with sides of 1 to 16777215, chunks up to IEND (or the end
// of the file) that lie inside the file, and enough compressed data in them for what IHDR
// announces, in IDAT chunks that are not empty.
bool checkHeader(const uint8_t* file, size_t size, std::string& problem) {
  if (size < 33 || std::memcmp(file, kSignature, 8) != 0 || loadU32BigEndian(file + 8) != 13 ||
      std::memcmp(file + 12, "IHDR", 4) != 0) {
    return fail(problem, "not a PNG file");
  }
  const uint64_t width = loadU32BigEndian(file + 16);
  const uint64_t height = loadU32BigEndian(file + 20);
  if (width < 1 || width > kMaxDimension || height < 1 || height > kMaxDimension) {
    return fail(problem, "width or height outside 1 to 16777215");
  }
  uint64_t compressed = 0;
  for (size_t at = 8; at + 8 <= size;) {
    const uint64_t length = loadU32BigEndian(file + at);
    if (std::memcmp(file + at + 4, "IDAT", 4) == 0) {
      // No encoder writes one; the decoder would copy it through a null pointer.
      if (length == 0) return fail(problem, "damaged: an empty IDAT chunk");
      compressed += length;
    }
    if (std::memcmp(file + at + 4, "IEND", 4) == 0) break;
    // The decoder would make room for the whole chunk before it finds the data missing.
    if (length + 4 > size - at - 8) {
      return fail(problem, "damaged: a chunk runs past the file's end");
    }
    at += 8 + static_cast<size_t>(length) + 4;
  }
  if (inflatedBytes(width, height, file[24], file[25]) >
      compressed * kMostInflation + kInflationSlack) {
    return fail(problem, "damaged: its pixels cannot come out of so little compressed data");
  }
  return true;
}

}  // namespace

bool readPng(const uint8_t* file, size_t size, Raster& out, std::string& problem) {
  if (!checkHeader(file, size, problem)) return false;
  if (size > INT_MAX) return fail(problem, "too large (2 GiB at most)");
  int width = 0;
  int height = 0;
  int channels = 0;
  stbi_uc* pixels =
      stbi_load_from_memory(file, static_cast<int>(size), &width, &height, &channels, 4);
  if (pixels == nullptr) {
    problem = std::string("damaged or unsupported PNG (") + stbi_failure_reason() + ")";
    return false;
  }
  if (!dibSizeAcceptable(width, height, 32)) {
    stbi_image_free(pixels);
    return fail(problem, "too large for a picture file (4 GiB at most)");
  }
  out = Raster{};
  out.width = width;
  out.height = height;
  out.bitsPerPixel = 32;
  out.pixels.assign(pixels, pixels + size_t{4} * static_cast<size_t>(width) * height);
  stbi_image_free(pixels);
  // Red, green, blue, alpha to blue, green, red, alpha.
  for (size_t i = 0; i < out.pixels.size(); i += 4) std::swap(out.pixels[i], out.pixels[i + 2]);
  return true;
}

}  // namespace quorvel
