// Layered pictures: a canvas onto which rectangular layers are placed, each stored as a run
// stream. Kind 64 holds direct-colour layers (16, 24 or 32 bits); kind 68 holds a colour table
// and indexed layers (8 bits, or 9: indexed with a per-pixel alpha).
#pragma once

#include "decoders/spi_base.h"

namespace quorvel {

class SpiPx40 : public SpiBase {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, uint32_t length, PictureInfo* info) override;
  ResultCode getPicture(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                        MemHandle* bitsOut, ProgressCallback progress, intptr_t userData) override;
};

}  // namespace quorvel
