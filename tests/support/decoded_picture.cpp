#include "tests/support/decoded_picture.h"

#include <cstring>

namespace quorvel::test {

namespace {

// Copies what the bitmap holds.
DecodedPicture takeBitmap(ResultCode result, const DecodedBitmap& bitmap) {
  DecodedPicture out;
  out.result = result;
  out.infoHanded = bitmap.info != nullptr;
  out.bitsHanded = bitmap.pixels != nullptr;
  if (!bitmap.empty()) {
    out.infoBytes = bitmap.infoBytes;
    const uint8_t* bytes = bitmap.info.get();
    std::memcpy(&out.header, bytes, sizeof out.header);
    if (out.infoBytes >= kPaletteInfoBytes) out.palette.assign(bytes + 40, bytes + 1064);
  }
  if (bitmap.pixels != nullptr) {
    out.bits.assign(bitmap.pixels.get(), bitmap.pixels.get() + bitmap.pixelBytes);
  }
  return out;
}

}  // namespace

DecodedPicture decodePicture(PictureDecoder& decoder, const std::vector<uint8_t>& file,
                             const DecodeOptions& options) {
  // An exact-size copy, so that reading past the file's end shows up under AddressSanitizer.
  std::vector<uint8_t> input(file);
  DecodedBitmap bitmap;
  ResultCode result = decoder.getPicture(input.empty() ? nullptr : input.data(),
                                         static_cast<uint32_t>(input.size()), options, bitmap);
  return takeBitmap(result, bitmap);
}

DecodedPicture decodePicture(AlphaDecode decode, const std::vector<uint8_t>& file,
                             AlphaOutput alpha) {
  std::vector<uint8_t> input(file);
  DecodedBitmap bitmap;
  ResultCode result = decode(input.empty() ? nullptr : input.data(),
                             static_cast<uint32_t>(input.size()), alpha, bitmap);
  return takeBitmap(result, bitmap);
}

}  // namespace quorvel::test
