#include "tests/support/decoded_picture.h"

#include <cstring>

namespace quorvel::test {

DecodedPicture decodePicture(PictureDecoder& decoder, const std::vector<uint8_t>& file,
                             const DecodeOptions& options) {
  DecodedPicture out;
  // An exact-size copy, so that reading past the file's end shows up under AddressSanitizer.
  std::vector<uint8_t> input(file);
  DecodedBitmap bitmap;
  out.result = decoder.getPicture(input.empty() ? nullptr : input.data(),
                                  static_cast<uint32_t>(input.size()), options, bitmap);
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

}  // namespace quorvel::test
