// Writer of plain pictures: a 32-byte header (width, height, kind, depth, copies of width and
// height), the colour table when the variant has one, and the rows as given, optionally behind
// the 32-byte signature prefix.
#pragma once

#include <cstdint>

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

struct PlainPicture {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t kind = 1;
  uint16_t depth = 32;
  Bytes palette;  // 1024 bytes for 8-bit kinds other than 1; empty otherwise
  Bytes rows;     // the pixel rows exactly as stored, top row first
  bool prefixed = false;
};

Bytes writePlainPicture(const PlainPicture& picture);

// Bytes per stored row of a plain picture of this kind and depth.
uint64_t plainRowBytes(int32_t width, uint16_t kind, uint16_t depth);

// Sample content: a 32-bit picture (kind 1) whose colours and alpha run in gradients, with a
// fully transparent and a fully opaque band so that every blending case occurs.
PlainPicture gradientPicture32(int32_t width, int32_t height);

}  // namespace quorvel::writer
