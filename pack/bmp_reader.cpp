#include "pack/bmp_reader.h"

#include <bit>
#include <cstring>

#include "decoders/bytes.h"
#include "decoders/dib.h"

namespace quorvel {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kJpeg = 4;
constexpr uint32_t kPng = 5;
constexpr uint32_t kAlphaBitFields = 6;

// The header fields the reader uses, checked.
struct BmpLayout {
  int64_t width = 0;
  int64_t height = 0;
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t masks[4] = {};  // red, green, blue, alpha
  uint64_t paletteOffset = 0;
  uint32_t colourCount = 0;  // entries of the colour table at 1, 4 and 8 bits
  uint64_t pixelOffset = 0;
  uint64_t rowStride = 0;  // bytes between rows: padded to 4
};

bool fail(std::string& problem, const char* text) {
  problem = text;
  return false;
}

bool readCompression(uint32_t compression, int bitCount, std::string& problem) {
  switch (compression) {
    case kRgb:
      return true;
    case kBitFields:
    case kAlphaBitFields:
      if (bitCount == 16 || bitCount == 32) return true;
      return fail(problem, "colour masks on a BMP that is not 16 or 32 bits");
    case kRle8:
    case kRle4:
      return fail(problem, "run-length compressed BMP files are not read; save it uncompressed");
    case kJpeg:
    case kPng:
      return fail(problem, "BMP files holding JPEG or PNG data are not read");
    default:
      return fail(problem, "unknown BMP compression");
  }
}

// Masks of 16- and 32-bit pixels: in the info header from its 52-byte version on, behind a
// 40-byte header otherwise; without masks, the layouts of uncompressed pixels.
bool readMasks(ByteView file, uint32_t headerSize, BmpLayout& bmp, std::string& problem) {
  if (bmp.compression == kRgb) {
    if (bmp.bitCount == 16) {
      bmp.masks[0] = 0x7C00;
      bmp.masks[1] = 0x03E0;
      bmp.masks[2] = 0x001F;
    } else if (bmp.bitCount == 32) {
      bmp.masks[0] = 0x00FF0000;
      bmp.masks[1] = 0x0000FF00;
      bmp.masks[2] = 0x000000FF;
      bmp.masks[3] = 0xFF000000;
    }
    return true;
  }
  const size_t at = kFileHeaderBytes + 40;
  const size_t count = headerSize >= 56 || bmp.compression == kAlphaBitFields ? 4 : 3;
  if (!file.contains(at, 4 * count)) return fail(problem, "the file ends inside its colour masks");
  for (size_t i = 0; i < count; ++i) bmp.masks[i] = file.u32(at + 4 * i);
  for (uint32_t mask : bmp.masks) {
    if (mask == 0) continue;
    const uint64_t shifted = mask >> std::countr_zero(mask);
    if ((shifted & (shifted + 1)) != 0 || (bmp.bitCount == 16 && mask > 0xFFFF)) {
      return fail(problem, "colour masks that are not runs of bits inside the pixel");
    }
  }
  if (bmp.masks[0] == 0 || bmp.masks[1] == 0 || bmp.masks[2] == 0) {
    return fail(problem, "a colour mask is empty");
  }
  return true;
}

bool readLayout(ByteView file, BmpLayout& bmp, std::string& problem) {
  if (!file.contains(0, kFileHeaderBytes + 4) || file.at(0)[0] != 'B' || file.at(0)[1] != 'M') {
    return fail(problem, "not a BMP file");
  }
  const uint32_t headerSize = file.u32(kFileHeaderBytes);
  if (headerSize == 12 || headerSize == 64)
    return fail(problem, "BMP files with the old 12- or 64-byte header are not read");
  if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124) {
    return fail(problem, "unknown BMP header");
  }
  if (!file.contains(kFileHeaderBytes, headerSize)) {
    return fail(problem, "the file ends inside its header");
  }
  const size_t h = kFileHeaderBytes;
  bmp.width = file.i32(h + 4);
  const int64_t height = file.i32(h + 8);
  bmp.topDown = height < 0;
  bmp.height = height < 0 ? -height : height;
  bmp.bitCount = file.u16(h + 14);
  bmp.compression = file.u32(h + 16);
  const uint32_t coloursUsed = file.u32(h + 32);
  if (bmp.width < 1 || bmp.width > kMaxDimension || bmp.height < 1 || bmp.height > kMaxDimension) {
    return fail(problem, "width or height outside 1 to 16777215");
  }
  const int b = bmp.bitCount;
  if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) {
    return fail(problem, "only 1, 4, 8, 16, 24 and 32 bits per pixel are read");
  }
  if (!readCompression(bmp.compression, b, problem) || !readMasks(file, headerSize, bmp, problem)) {
    return false;
  }

  bmp.paletteOffset = kFileHeaderBytes + headerSize;
  if (headerSize == 40 && bmp.compression != kRgb) {
    bmp.paletteOffset += bmp.compression == kAlphaBitFields ? 16 : 12;
  }
  if (b <= 8) {
    bmp.colourCount = coloursUsed == 0 ? 1u << b : coloursUsed;
    if (bmp.colourCount > (1u << b)) return fail(problem, "more colours than the depth can index");
    if (!file.contains(bmp.paletteOffset, uint64_t{4} * bmp.colourCount)) {
      return fail(problem, "the file ends inside its colour table");
    }
  }

  bmp.pixelOffset = file.u32(10);
  bmp.rowStride = (static_cast<uint64_t>(bmp.width) * static_cast<uint64_t>(b) + 31) / 32 * 4;
  // The last row may come without its padding.
  const uint64_t lastRow = (static_cast<uint64_t>(bmp.width) * static_cast<uint64_t>(b) + 7) / 8;
  const uint64_t pixelBytes = bmp.rowStride * static_cast<uint64_t>(bmp.height - 1) + lastRow;
  if (!file.contains(bmp.pixelOffset, pixelBytes)) {
    return fail(problem, "the file ends before its last row of pixels");
  }
  return true;
}

// The depth the raster keeps: what the picture formats store as it is, 32 bits otherwise.
int rasterDepth(const BmpLayout& bmp) {
  const uint32_t* m = bmp.masks;
  if (bmp.bitCount <= 8) return 8;
  if (bmp.bitCount == 24) return 24;
  if (bmp.bitCount == 16) {
    return m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F && m[3] == 0 ? 16 : 32;
  }
  return 32;
}

// One channel of a pixel through its mask, in 8 bits: a wider channel keeps its top 8 bits, a
// narrower one repeats its bits downward (5 bits v become v << 3 | v >> 2), so that 0 stays 0
// and the largest value becomes 255, as 5-5-5 pixels are widened elsewhere.
uint8_t channel(uint32_t pixel, uint32_t mask) {
  const int bits = std::popcount(mask);
  const uint32_t value = (pixel & mask) >> std::countr_zero(mask);
  if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
  uint32_t widened = 0;
  for (int shift = 8 - bits; shift > -bits; shift -= bits) {
    widened |= shift >= 0 ? value << shift : value >> -shift;
  }
  return static_cast<uint8_t>(widened);
}

void readRow(const BmpLayout& bmp, const uint8_t* source, uint8_t* row) {
  const int64_t width = bmp.width;
  switch (bmp.bitCount) {
    case 1:
    case 4: {
      const int b = bmp.bitCount;
      for (int64_t x = 0; x < width; ++x) {
        const uint64_t bit = static_cast<uint64_t>(x) * b;
        row[x] = static_cast<uint8_t>((source[bit / 8] >> (8 - b - bit % 8)) & ((1 << b) - 1));
      }
      return;
    }
    case 8:
    case 24:
      std::memcpy(row, source, static_cast<size_t>(width) * (bmp.bitCount / 8));
      return;
    default:
      break;
  }
  const uint32_t* m = bmp.masks;
  const bool plain32 = bmp.bitCount == 32 && m[0] == 0x00FF0000 && m[1] == 0x0000FF00 &&
                       m[2] == 0x000000FF && (m[3] == 0xFF000000 || m[3] == 0);
  if (rasterDepth(bmp) == 16 || (plain32 && m[3] != 0)) {
    std::memcpy(row, source, static_cast<size_t>(width) * (bmp.bitCount / 8));
    return;
  }
  for (int64_t x = 0; x < width; ++x, row += 4) {
    const uint32_t pixel = bmp.bitCount == 16 ? loadU16(source + 2 * x) : loadU32(source + 4 * x);
    row[0] = channel(pixel, m[2]);
    row[1] = channel(pixel, m[1]);
    row[2] = channel(pixel, m[0]);
    row[3] = m[3] == 0 ? 255 : channel(pixel, m[3]);
  }
}

}  // namespace

bool readBmp(const uint8_t* file, size_t size, Raster& out, std::string& problem) {
  ByteView view(file, size);
  BmpLayout bmp;
  if (!readLayout(view, bmp, problem)) return false;
  const int depth = rasterDepth(bmp);
  if (!dibSizeAcceptable(bmp.width, bmp.height, depth)) {
    return fail(problem, "too large for a picture file (4 GiB at most)");
  }
  out = Raster{};
  out.width = bmp.width;
  out.height = bmp.height;
  out.bitsPerPixel = depth;
  if (depth == 8) {
    out.palette.assign(1024, 0);
    std::memcpy(out.palette.data(), view.at(static_cast<size_t>(bmp.paletteOffset)),
                size_t{4} * bmp.colourCount);
  }
  out.pixels.resize(out.rowBytes() * static_cast<size_t>(out.height));
  for (int64_t y = 0; y < bmp.height; ++y) {
    const int64_t stored = bmp.topDown ? y : bmp.height - 1 - y;
    const uint64_t at = bmp.pixelOffset + static_cast<uint64_t>(stored) * bmp.rowStride;
    readRow(bmp, view.at(static_cast<size_t>(at)),
            out.pixels.data() + static_cast<size_t>(y) * out.rowBytes());
  }
  return true;
}

}  // namespace quorvel
