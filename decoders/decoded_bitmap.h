// A decoded picture that its holder owns: a device-independent bitmap as its info block
// (BITMAPINFOHEADER and, at 8 bits, 256 colours) and its pixel rows (bottom-up, each padded to
// 4 bytes). Freed with its holder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/owned_bytes.h"

namespace quorvel {

struct BitmapInfoHeader;
struct RgbQuad;

struct DecodedBitmap {
  OwnedBytes info;
  size_t infoBytes = 0;
  OwnedBytes pixels;
  size_t pixelBytes = 0;

  bool empty() const { return info == nullptr; }
  const BitmapInfoHeader* header() const;
  // The 256 colours of an 8-bit bitmap; null at other depths.
  const RgbQuad* palette() const;
};

}  // namespace quorvel
