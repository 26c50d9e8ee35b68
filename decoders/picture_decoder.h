// The interface shared by every picture decoder: what a picture file holds (its size and the depth
// of the bitmap it gives) and the bitmap itself, each answering a ResultCode.
#pragma once

#include <cstdint>

#include "decoders/decode_options.h"
#include "decoders/decoded_bitmap.h"
#include "decoders/result_code.h"

namespace quorvel {

#pragma pack(push, 1)
struct PictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t densityX;
  uint16_t densityY;
  int16_t bitDepth;
};
#pragma pack(pop)

class PictureDecoder {
 public:
  virtual ResultCode getPictureInfo(const uint8_t* buffer, size_t length,
                                    const DecodeOptions& options, PictureInfo* info) = 0;
  // The caller owns the bitmap made; it is left empty when decoding fails.
  virtual ResultCode getPicture(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                                DecodedBitmap& bitmap) = 0;

 protected:
  PictureDecoder() = default;
  ~PictureDecoder() = default;
};

}  // namespace quorvel
