#include "decoders/dib.h"

#include <utility>

namespace quorvel {

namespace {

uint64_t magnitude(int32_t value) {
  return value < 0 ? uint64_t{0} - static_cast<uint64_t>(int64_t{value})
                   : static_cast<uint64_t>(value);
}

}  // namespace

uint64_t dibRowBytes(const BitmapInfoHeader* info) {
  const uint64_t bits = uint64_t{info->biBitCount} * magnitude(info->biWidth);
  return ((bits / 8) + 3) & ~uint64_t{3};
}

uint64_t dibImageBytes(const BitmapInfoHeader* info) {
  return dibRowBytes(info) * magnitude(info->biHeight);
}

uint8_t blendChannel(uint8_t source, uint8_t background, uint8_t alpha) {
  int difference = static_cast<int>(source) - static_cast<int>(background);
  // Arithmetic shift: the division rounds toward minus infinity.
  return static_cast<uint8_t>(background + ((difference * (alpha + 1)) >> 8));
}

void blendPixel(uint8_t* destination, const uint8_t* source, const uint8_t* background) {
  uint8_t alpha = source[3];
  if (alpha == 255) {
    destination[0] = source[0];
    destination[1] = source[1];
    destination[2] = source[2];
  } else if (alpha == 0) {
    destination[0] = background[0];
    destination[1] = background[1];
    destination[2] = background[2];
  } else {
    for (int k = 0; k < 3; ++k) destination[k] = blendChannel(source[k], background[k], alpha);
  }
}

uint8_t scaleChannel(uint8_t value, uint8_t alpha) {
  return static_cast<uint8_t>((static_cast<unsigned>(value) * alpha) >> 7);
}

bool isGreyRamp(const RgbQuad* palette) {
  for (int i = 0; i < 256; ++i) {
    if (palette[i].blue != i || palette[i].green != i || palette[i].red != i) return false;
  }
  return true;
}

bool dibSizeAcceptable(int64_t width, int64_t height, int bitCount) {
  if (width < 1 || width > kMaxDimension || height < 1 || height > kMaxDimension) return false;
  uint64_t image = paddedRowBytes(width, bitCount / 8) * static_cast<uint64_t>(height);
  return image <= 0xFFFFFFFFull - 14 - kPaletteInfoBytes;
}

BitmapInfoHeader dibHeader(int64_t width, int64_t height, int bitCount) {
  BitmapInfoHeader header{};
  header.biSize = kInfoHeaderBytes;
  header.biWidth = static_cast<int32_t>(width);
  header.biHeight = static_cast<int32_t>(height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bitCount);
  header.biSizeImage =
      static_cast<uint32_t>(paddedRowBytes(width, bitCount / 8) * static_cast<uint64_t>(height));
  return header;
}

ResultCode allocateDib(int64_t width, int64_t height, int bitCount, DibOutput& out,
                       ByteFill pixelFill) {
  out = DibOutput{};
  if (!dibSizeAcceptable(width, height, bitCount)) return ResultCode::UnknownFormat;
  DecodedBitmap& owned = out.owned;
  owned.infoBytes = bitCount == 8 ? kPaletteInfoBytes : kInfoHeaderBytes;
  owned.pixelBytes =
      static_cast<size_t>(paddedRowBytes(width, bitCount / 8)) * static_cast<size_t>(height);
  owned.info = allocateBytes(owned.infoBytes, ByteFill::Zeroed);
  owned.pixels = allocateBytes(owned.pixelBytes, pixelFill);
  if (owned.info == nullptr || owned.pixels == nullptr) {
    discardDib(out);
    return ResultCode::OutOfMemory;
  }
  out.rowBytes = static_cast<size_t>(paddedRowBytes(width, bitCount / 8));
  out.imageBytes = owned.pixelBytes;
  out.header = reinterpret_cast<BitmapInfoHeader*>(owned.info.get());
  out.bits = owned.pixels.get();
  *out.header = dibHeader(width, height, bitCount);
  if (bitCount == 8) out.palette = reinterpret_cast<RgbQuad*>(out.header + 1);
  return ResultCode::Success;
}

void handOverDib(DibOutput& out, DecodedBitmap& bitmap) {
  bitmap = std::move(out.owned);
  out = DibOutput{};
}

void discardDib(DibOutput& out) {
  out = DibOutput{};
}

}  // namespace quorvel
