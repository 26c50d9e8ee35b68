#include "tools/writer/px_writer.h"

#include "decoders/signatures.h"

namespace quorvel::writer {

uint64_t plainRowBytes(int32_t width, uint16_t kind, uint16_t depth) {
  auto w = static_cast<uint64_t>(width);
  if (depth == 16 && kind == 2) return w * 4;
  if (depth == 16 && kind == 3) return w / 2 * 8;
  return w * (depth / 8);
}

Bytes writePlainPicture(const PlainPicture& picture) {
  ByteWriter out;
  if (picture.prefixed) {
    out.u32(0).u32(1).zeros(8).u16(144).u16(0).raw(kPrefixSignature);
  }
  out.u32(static_cast<uint32_t>(picture.width)).u32(static_cast<uint32_t>(picture.height));
  out.zeros(8).u16(picture.kind).u16(picture.depth);
  out.u32(static_cast<uint32_t>(picture.width)).u32(static_cast<uint32_t>(picture.height)).u32(0);
  out.raw(picture.palette).raw(picture.rows);
  return out.take();
}

PlainPicture gradientPicture32(int32_t width, int32_t height) {
  PlainPicture picture;
  picture.width = width;
  picture.height = height;
  picture.kind = 1;
  picture.depth = 32;
  picture.rows.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int32_t alpha = width > 1 ? x * 255 / (width - 1) : 255;
      if (y % 16 == 0) alpha = 0;
      if (y % 16 == 1) alpha = 255;
      picture.rows.push_back(static_cast<uint8_t>(x * 7 + y));
      picture.rows.push_back(static_cast<uint8_t>(y * 3));
      picture.rows.push_back(static_cast<uint8_t>(255 - x * 5));
      picture.rows.push_back(static_cast<uint8_t>(alpha));
    }
  }
  return picture;
}

}  // namespace quorvel::writer
