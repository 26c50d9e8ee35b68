#include "tests/support/decoded_picture.h"

#include <cstring>

namespace quorvel::test {

namespace {

// Copies what the handles hold and frees them.
DecodedPicture takeHandles(ResultCode result, MemHandle info, MemHandle bits) {
  DecodedPicture out;
  out.result = result;
  out.infoHanded = info != nullptr;
  out.bitsHanded = bits != nullptr;
  if (info != nullptr) {
    out.infoBytes = localSize(info);
    auto* bytes = static_cast<const uint8_t*>(localLock(info));
    std::memcpy(&out.header, bytes, sizeof out.header);
    if (out.infoBytes >= kPaletteInfoBytes) out.palette.assign(bytes + 40, bytes + 1064);
    localUnlock(info);
    localFree(info);
  }
  if (bits != nullptr) {
    auto* bytes = static_cast<const uint8_t*>(localLock(bits));
    out.bits.assign(bytes, bytes + localSize(bits));
    localUnlock(bits);
    localFree(bits);
  }
  return out;
}

}  // namespace

DecodedPicture decodePicture(PictureDecoder& decoder, const std::vector<uint8_t>& file,
                             const DecodeOptions& options) {
  // An exact-size copy, so that reading past the file's end shows up under AddressSanitizer.
  std::vector<uint8_t> input(file);
  MemHandle info = nullptr;
  MemHandle bits = nullptr;
  ResultCode result =
      decoder.getPicture(input.empty() ? nullptr : input.data(),
                         static_cast<uint32_t>(input.size()), options, &info, &bits);
  return takeHandles(result, info, bits);
}

DecodedPicture decodePicture(AlphaDecode decode, const std::vector<uint8_t>& file,
                             AlphaOutput alpha) {
  std::vector<uint8_t> input(file);
  MemHandle info = nullptr;
  MemHandle bits = nullptr;
  ResultCode result = decode(input.empty() ? nullptr : input.data(),
                             static_cast<uint32_t>(input.size()), alpha, &info, &bits);
  return takeHandles(result, info, bits);
}

}  // namespace quorvel::test
