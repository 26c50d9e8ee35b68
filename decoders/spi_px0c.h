// Tiled pictures of type 0x0C: empty and stored tiles with two extra columns and rows.
#pragma once

#include "decoders/spi_base.h"

namespace quorvel {

class SpiPx0C : public SpiBase {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, uint32_t length, PictureInfo* info) override;
  ResultCode getPicture(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                        MemHandle* bitsOut, ProgressCallback progress, intptr_t userData) override;
};

}  // namespace quorvel
