// Layered pictures: a canvas onto which rectangular layers are placed, each stored as a run
// stream. Kind 64 holds direct-colour layers (16, 24 or 32 bits); kind 68 holds a colour table
// and indexed layers (8 bits, or 9: indexed with a per-pixel alpha). The first layer's depth sets
// the output's; 24- and 32-bit layers may be mixed (blended: 24-bit output; raw: 32-bit output
// whenever a 32-bit layer is present, 24-bit layers' pixels opaque), other depths may not.
#pragma once

#include "decoders/alpha_output.h"
#include "decoders/picture_decoder.h"
#include "decoders/recorded_picture.h"

namespace quorvel {

class LayeredPictureDecoder : public PictureDecoder {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                            PictureInfo* info) override;
  ResultCode getPicture(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                        DecodedBitmap& bitmap) override;
};

// getPicture's decoding with the alpha output given (Straight included): the caller owns the
// bitmap made. Straight output makes 32-bit pixels whose alpha is the
// opacity: 32-bit layer pixels of 7-bit alpha 0 opaque, indexed pixels of alpha 0 transparent,
// opaque-mode indexed pixels opaque, pixels no layer covers transparent.
ResultCode decodeLayeredPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                DecodedBitmap& bitmap);

// The picture's layers and runs found and checked, not drawn: the answers of
// decodeLayeredPicture, and `out.drawable` false when a layer's runs move backwards. Indexed
// pictures are not recorded: Success with `out.drawable` false once the header is read, their
// layers unchecked (the whole-picture decoder answers for them).
ResultCode recordLayeredPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                RecordedPicture& out);

}  // namespace quorvel
