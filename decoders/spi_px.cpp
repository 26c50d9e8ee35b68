#include "decoders/spi_px.h"

#include <cstring>

#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/settings.h"

namespace quorvel {

namespace {

constexpr uint32_t kPaletteBytes = 256 * 4;

// The fields of the picture header that the decoder reads.
struct PxHeader {
  int32_t width;
  int32_t height;
  uint16_t kind;
  uint16_t depth;
};

PxHeader readHeader(const uint8_t* header) {
  return PxHeader{loadI32(header), loadI32(header + 4), loadU16(header + 16), loadU16(header + 18)};
}

// Bytes one picture row takes in the file. Kind 2 stores each 16-bit pixel in four bytes, kind 3
// a pair of pixels in eight (the first four unused); an odd last pixel of kind 3 is not stored.
uint64_t sourceRowBytes(const PxHeader& h) {
  uint64_t width = static_cast<uint64_t>(h.width);
  if (h.depth == 16 && h.kind == 2) return width * 4;
  if (h.depth == 16 && h.kind == 3) return width / 2 * 8;
  return width * (h.depth / 8);
}

bool hasColourTable(const PxHeader& h) {
  return h.depth < 16 && h.kind != 1;
}

// Blending works on a strip of pixels at a time: first every pixel into four bytes (blue, green,
// red, 0) in a small buffer, in a loop without branches or byte stores that compilers turn into
// vector code, then the strip is packed into three-byte pixels.
constexpr int32_t kStripPixels = 1024;

// Per channel bg + floor((s - bg) * (a + 1) / 256) equals (s * (a + 1) + bg * (255 - a)) >> 8,
// whose terms never exceed 16 bits: blue and red are worked side by side in the 16-bit halves of
// one 32-bit value, green alone. Alpha 255 gives the source exactly; alpha 0 is the background
// by definition.
void blendStrip(uint32_t* out, const uint8_t* source, int32_t count, uint32_t bgPixel) {
  const uint32_t bgRedBlue = bgPixel & 0xFF00FFu;
  const uint32_t bgGreen = bgPixel & 0xFF00u;
  for (int32_t x = 0; x < count; ++x) {
    uint32_t pixel = loadU32(source + 4 * static_cast<size_t>(x));
    uint32_t alpha = pixel >> 24;
    uint32_t redBlue = (pixel & 0xFF00FFu) * (alpha + 1) + bgRedBlue * (255 - alpha);
    uint32_t green = (pixel & 0xFF00u) * (alpha + 1) + bgGreen * (255 - alpha);
    uint32_t blended = ((redBlue >> 8) & 0xFF00FFu) | ((green >> 8) & 0xFF00u);
    out[x] = alpha == 0 ? bgPixel : blended;
  }
}

// Packs four-byte pixels into three-byte ones, four pixels into three 32-bit words at a time.
void packStrip(uint8_t* destination, const uint32_t* pixels, int32_t count) {
  int32_t x = 0;
  for (; x + 4 <= count; x += 4, destination += 12) {
    uint32_t p0 = pixels[x], p1 = pixels[x + 1], p2 = pixels[x + 2], p3 = pixels[x + 3];
    storeU32(destination, p0 | (p1 << 24));
    storeU32(destination + 4, (p1 >> 8) | (p2 << 16));
    storeU32(destination + 8, (p2 >> 16) | (p3 << 8));
  }
  for (; x < count; ++x, destination += 3) {
    destination[0] = static_cast<uint8_t>(pixels[x]);
    destination[1] = static_cast<uint8_t>(pixels[x] >> 8);
    destination[2] = static_cast<uint8_t>(pixels[x] >> 16);
  }
}

// Blends one row of blue, green, red, alpha pixels over the background into blue, green, red.
void blendRow(uint8_t* destination, const uint8_t* source, int32_t width, uint32_t bgPixel) {
  uint32_t strip[kStripPixels];
  for (int32_t x = 0; x < width; x += kStripPixels) {
    int32_t count = width - x < kStripPixels ? width - x : kStripPixels;
    blendStrip(strip, source + 4 * static_cast<size_t>(x), count, bgPixel);
    packStrip(destination + 3 * static_cast<size_t>(x), strip, count);
  }
}

void copyRowKind2(uint8_t* destination, const uint8_t* source, int32_t width) {
  for (int32_t x = 0; x < width; ++x) std::memcpy(destination + 2 * x, source + 4 * x, 2);
}

void copyRowKind3(uint8_t* destination, const uint8_t* source, int32_t width) {
  for (int32_t pair = 0; pair < width / 2; ++pair) {
    std::memcpy(destination + 4 * pair, source + 8 * pair + 4, 4);
  }
}

void writeRows(const PxHeader& h, const uint8_t* source, size_t rowStride, DibOutput& dib) {
  const bool blend = h.depth == 32 && gSettings.blend != 0;
  const uint32_t bgPixel = uint32_t{gSettings.bgColor[0]} | (uint32_t{gSettings.bgColor[1]} << 8) |
                           (uint32_t{gSettings.bgColor[2]} << 16);
  const size_t copyBytes = static_cast<size_t>(h.width) * (h.depth / 8);
  for (size_t t = 0; t < static_cast<size_t>(h.height); ++t, source += rowStride) {
    uint8_t* row = dib.rowFromTop(t);
    if (blend) {
      blendRow(row, source, h.width, bgPixel);
    } else if (h.depth == 16 && h.kind == 3) {
      copyRowKind3(row, source, h.width);
    } else if (h.depth == 16 && h.kind == 2) {
      copyRowKind2(row, source, h.width);
    } else {
      std::memcpy(row, source, copyBytes);
    }
  }
}

}  // namespace

const uint8_t* pxHeaderStart(const uint8_t* buffer) {
  return loadU16(buffer + 16) == kPxPrefixType ? buffer + 32 : buffer;
}

ResultCode SpiPX::getPictureInfo(const uint8_t* buffer, uint32_t length, PictureInfo* info) {
  if (length < 64) return ResultCode::UnknownFormat;
  PxHeader h = readHeader(pxHeaderStart(buffer));
  *info = PictureInfo{};
  info->width = h.width;
  info->height = h.height;
  info->bitDepth = static_cast<int16_t>(h.depth == 32 && gSettings.blend != 0 ? 24 : h.depth);
  return ResultCode::Success;
}

ResultCode SpiPX::getPicture(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                             MemHandle* bitsOut, ProgressCallback progress, intptr_t userData) {
  if (progress != nullptr && progress(0, 1, userData) != 0) {
    return ResultCode::Cancelled;
  }
  ByteView file(buffer, length);
  if (!file.contains(0, 18)) return ResultCode::UnknownFormat;
  const uint64_t headerOffset = static_cast<uint64_t>(pxHeaderStart(buffer) - buffer);
  if (!file.contains(headerOffset, kPxHeaderBytes)) return ResultCode::UnknownFormat;
  const PxHeader h = readHeader(file.at(headerOffset));
  if (h.depth != 8 && h.depth != 16 && h.depth != 32) return ResultCode::UnknownFormat;
  const int outputDepth = h.depth == 32 && gSettings.blend != 0 ? 24 : h.depth;
  if (!dibSizeAcceptable(h.width, h.height, outputDepth)) return ResultCode::UnknownFormat;

  // Everything the rows need must be in the file before anything is allocated.
  ByteCursor cursor(file, headerOffset + kPxHeaderBytes);
  const uint8_t* palette = hasColourTable(h) ? cursor.take(kPaletteBytes) : nullptr;
  if (hasColourTable(h) && palette == nullptr) return ResultCode::UnknownFormat;
  const uint64_t rowStride = sourceRowBytes(h);
  const uint8_t* pixels = cursor.take(rowStride * static_cast<uint64_t>(h.height));
  if (pixels == nullptr) return ResultCode::UnknownFormat;

  DibOutput dib;
  ResultCode result = allocateDib(h.width, h.height, outputDepth, dib);
  if (result != ResultCode::Success) return result;
  if (dib.palette != nullptr) {
    if (palette != nullptr) {
      std::memcpy(dib.palette, palette, kPaletteBytes);
    } else {
      for (int i = 0; i < 256; ++i) {
        auto level = static_cast<uint8_t>(i);
        dib.palette[i] = RgbQuad{level, level, level, 0};
      }
    }
  }
  writeRows(h, pixels, static_cast<size_t>(rowStride), dib);
  handOverDib(dib, infoOut, bitsOut);

  if (progress != nullptr && progress(1, 1, userData) != 0) {
    return ResultCode::Cancelled;
  }
  return ResultCode::Success;
}

}  // namespace quorvel
