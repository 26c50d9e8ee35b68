// The decoder output: a device-independent bitmap in two owned blocks (the info block with
// BITMAPINFOHEADER and, at 8 bits, 256 colours; the bits block with bottom-up rows padded to
// 4 bytes), and the small pixel routines several decoders share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoders/decoded_bitmap.h"
#include "decoders/result_code.h"
#include "platform/owned_bytes.h"

namespace quorvel {

#pragma pack(push, 1)
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
struct RgbQuad {
  uint8_t blue, green, red, reserved;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

constexpr size_t kInfoHeaderBytes = 40;
constexpr size_t kPaletteInfoBytes = 40 + 256 * 4;
// Widths and heights outside 1..kMaxDimension are refused by every decoder.
constexpr int64_t kMaxDimension = 0xFFFFFF;

// Bytes of one padded row and of all rows: a bitmap may take up to 4 GiB, past what 32 signed
// bits count. The height's sign (top-down rows) does not change them.
uint64_t dibRowBytes(const BitmapInfoHeader* info);
uint64_t dibImageBytes(const BitmapInfoHeader* info);

uint8_t blendChannel(uint8_t source, uint8_t background, uint8_t alpha);
// destination: blue, green, red; source: blue, green, red, alpha; background: blue, green, red.
void blendPixel(uint8_t* destination, const uint8_t* source, const uint8_t* background);
uint8_t scaleChannel(uint8_t value, uint8_t alpha);

// Row size in bytes of a bottom-up row: padded to a multiple of 4.
inline uint64_t paddedRowBytes(int64_t width, int bytesPerPixel) {
  return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bytesPerPixel) + 3) & ~uint64_t{3};
}

// A bitmap being filled: its blocks owned, and where to write in them.
struct DibOutput {
  DecodedBitmap owned;
  BitmapInfoHeader* header = nullptr;
  RgbQuad* palette = nullptr;  // 256 entries at 8 bits, else null
  uint8_t* bits = nullptr;
  size_t rowBytes = 0;
  size_t imageBytes = 0;

  // Bits-block row of picture row t counted from the top (the block is bottom-up).
  uint8_t* rowFromTop(size_t t) const {
    return bits + (static_cast<size_t>(header->biHeight) - 1 - t) * rowBytes;
  }
};

// True when the 256 colours are the grey ramp: entry i is blue, green and red i (the reserved
// bytes are not looked at).
bool isGreyRamp(const RgbQuad* palette);

// True when a picture of this size can be a BMP file: both sides in 1..kMaxDimension and the
// whole file within 32 bits.
bool dibSizeAcceptable(int64_t width, int64_t height, int bitCount);

// The header of a bitmap of this size: biSize 40, one plane, biSizeImage, everything else 0.
BitmapInfoHeader dibHeader(int64_t width, int64_t height, int bitCount);

// Allocates both blocks and fills the header; the info block is zero-filled, the bits block as
// pixelFill says (Unset only for a decoder that writes every byte of every row, padding included).
// UnknownFormat when the size is not acceptable, OutOfMemory (with nothing left allocated) when
// an allocation fails.
ResultCode allocateDib(int64_t width, int64_t height, int bitCount, DibOutput& out,
                       ByteFill pixelFill = ByteFill::Zeroed);
// Hands both blocks to the caller's bitmap.
void handOverDib(DibOutput& out, DecodedBitmap& bitmap);
// Frees both blocks (for a decode that fails after allocation).
void discardDib(DibOutput& out);

}  // namespace quorvel
