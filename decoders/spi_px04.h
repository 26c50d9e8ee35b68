// Run-stream pictures: one 32-bit picture with alpha stored as runs of visible pixels; what no
// run covers is transparent.
#pragma once

#include "decoders/spi_base.h"

namespace quorvel {

class SpiPx04 : public SpiBase {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, uint32_t length, PictureInfo* info) override;
  ResultCode getPicture(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                        MemHandle* bitsOut, ProgressCallback progress, intptr_t userData) override;
};

}  // namespace quorvel
