#include "decoders/plain_picture.h"

#include <cstring>

#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/pixel_rows.h"

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

void copyRowKind2(uint8_t* destination, const uint8_t* source, int32_t width) {
  for (int32_t x = 0; x < width; ++x) std::memcpy(destination + 2 * x, source + 4 * x, 2);
}

void copyRowKind3(uint8_t* destination, const uint8_t* source, int32_t width) {
  for (int32_t pair = 0; pair < width / 2; ++pair) {
    std::memcpy(destination + 4 * pair, source + 8 * pair + 4, 4);
  }
}

}  // namespace

const uint8_t* pxHeaderStart(const uint8_t* buffer) {
  return loadU16(buffer + 16) == kPxPrefixType ? buffer + 32 : buffer;
}

ResultCode PlainPictureDecoder::getPictureInfo(const uint8_t* buffer, size_t length,
                                               const DecodeOptions& options, PictureInfo* info) {
  if (length < 64) return ResultCode::UnknownFormat;
  PxHeader h = readHeader(pxHeaderStart(buffer));
  *info = PictureInfo{};
  info->width = h.width;
  info->height = h.height;
  info->bitDepth = static_cast<int16_t>(h.depth == 32 && options.blend ? 24 : h.depth);
  return ResultCode::Success;
}

ResultCode preparePlainLayout(const uint8_t* head, size_t headLength, uint64_t fileLength,
                              const DecodeOptions& options, PlainRows& rows) {
  rows = PlainRows{};
  ByteView file(head, headLength);
  if (!file.contains(0, 18)) return ResultCode::UnknownFormat;
  const uint64_t headerOffset = static_cast<uint64_t>(pxHeaderStart(head) - head);
  if (!file.contains(headerOffset, kPxHeaderBytes)) return ResultCode::UnknownFormat;
  const PxHeader h = readHeader(file.at(headerOffset));
  if (h.depth != 8 && h.depth != 16 && h.depth != 32) return ResultCode::UnknownFormat;
  const int outputDepth = h.depth == 32 && options.blend ? 24 : h.depth;
  if (!dibSizeAcceptable(h.width, h.height, outputDepth)) return ResultCode::UnknownFormat;

  // Everything the rows need must be in the file before anything is allocated.
  uint64_t pixelsOffset = headerOffset + kPxHeaderBytes;
  const uint8_t* palette = nullptr;
  if (hasColourTable(h)) {
    if (!file.contains(pixelsOffset, kPaletteBytes)) return ResultCode::UnknownFormat;
    palette = file.at(pixelsOffset);
    pixelsOffset += kPaletteBytes;
  }
  const uint64_t rowStride = sourceRowBytes(h);
  const uint64_t pixelBytes = rowStride * static_cast<uint64_t>(h.height);
  if (pixelsOffset > fileLength || pixelBytes > fileLength - pixelsOffset) {
    return ResultCode::UnknownFormat;
  }

  rows.width = h.width;
  rows.height = h.height;
  rows.kind = h.kind;
  rows.depth = h.depth;
  rows.outputDepth = outputDepth;
  rows.outputRowBytes = static_cast<size_t>(paddedRowBytes(h.width, outputDepth / 8));
  rows.pixelsOffset = pixelsOffset;
  rows.sourceStride = static_cast<size_t>(rowStride);
  rows.palette = palette;
  rows.background = backgroundPixel(options.background);
  return ResultCode::Success;
}

uint64_t plainPictureBytes(const uint8_t* head, size_t headLength) {
  ByteView file(head, headLength);
  if (!file.contains(0, 18)) return 0;
  const uint64_t headerOffset = static_cast<uint64_t>(pxHeaderStart(head) - head);
  if (!file.contains(headerOffset, kPxHeaderBytes)) return 0;
  const PxHeader h = readHeader(file.at(headerOffset));
  if (h.depth != 8 && h.depth != 16 && h.depth != 32) return 0;
  if (!dibSizeAcceptable(h.width, h.height, h.depth)) return 0;
  const uint64_t table = hasColourTable(h) ? kPaletteBytes : 0;
  return headerOffset + kPxHeaderBytes + table +
         sourceRowBytes(h) * static_cast<uint64_t>(h.height);
}

ResultCode preparePlainRows(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                            PlainRows& rows) {
  ResultCode result = preparePlainLayout(buffer, length, length, options, rows);
  if (result == ResultCode::Success) rows.pixels = buffer + rows.pixelsOffset;
  return result;
}

void fillPlainPalette(const PlainRows& rows, RgbQuad* palette) {
  if (rows.palette != nullptr) {
    std::memcpy(palette, rows.palette, kPaletteBytes);
    return;
  }
  for (int i = 0; i < 256; ++i) {
    auto level = static_cast<uint8_t>(i);
    palette[i] = RgbQuad{level, level, level, 0};
  }
}

void makePlainRowFrom(const PlainRows& rows, const uint8_t* source, uint8_t* out) {
  const auto width = static_cast<size_t>(rows.width);
  size_t made;
  if (rows.outputDepth == 24 && rows.depth == 32) {
    blendRowOver(out, source, width, rows.background);
    made = 3 * width;
  } else if (rows.depth == 16 && rows.kind == 3) {
    copyRowKind3(out, source, rows.width);
    made = width / 2 * 4;
  } else if (rows.depth == 16 && rows.kind == 2) {
    copyRowKind2(out, source, rows.width);
    made = 2 * width;
  } else {
    made = width * (rows.depth / 8);
    std::memcpy(out, source, made);
  }
  std::memset(out + made, 0, rows.outputRowBytes - made);
}

void makePlainRow(const PlainRows& rows, size_t t, uint8_t* out) {
  makePlainRowFrom(rows, rows.pixels + t * rows.sourceStride, out);
}

ResultCode PlainPictureDecoder::getPicture(const uint8_t* buffer, size_t length,
                                           const DecodeOptions& options, DecodedBitmap& bitmap) {
  PlainRows rows;
  ResultCode result = preparePlainRows(buffer, length, options, rows);
  if (result != ResultCode::Success) return result;
  DibOutput dib;
  // Every row is made whole, its padding included: the rows need no zero-filling first.
  result = allocateDib(rows.width, rows.height, rows.outputDepth, dib, ByteFill::Unset);
  if (result != ResultCode::Success) return result;
  if (dib.palette != nullptr) fillPlainPalette(rows, dib.palette);
  for (size_t t = 0; t < static_cast<size_t>(rows.height); ++t) {
    makePlainRow(rows, t, dib.rowFromTop(t));
  }
  handOverDib(dib, bitmap);
  return ResultCode::Success;
}

}  // namespace quorvel
