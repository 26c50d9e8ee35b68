// Run-stream pictures: one 32-bit picture with alpha stored as runs of visible pixels; what no
// run covers is transparent.
#pragma once

#include "decoders/alpha_output.h"
#include "decoders/picture_decoder.h"
#include "decoders/recorded_picture.h"

namespace quorvel {

class RunStreamPictureDecoder : public PictureDecoder {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                            PictureInfo* info) override;
  ResultCode getPicture(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                        DecodedBitmap& bitmap) override;
};

// getPicture's decoding with the alpha output given (Straight included): the caller owns the
// bitmap made. Straight output makes 32-bit pixels whose alpha is the
// opacity, covered pixels of 7-bit alpha 0 opaque, pixels no run covers transparent.
ResultCode decodeRunStreamPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                  DecodedBitmap& bitmap);

// The picture's runs found and checked, not drawn: the answers of decodeRunStreamPicture, and
// `out.drawable` false when the runs move backwards.
ResultCode recordRunStreamPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                  RecordedPicture& out);

}  // namespace quorvel
