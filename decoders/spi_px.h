// Plain pictures: 8, 16 or 32 bits behind a 32-byte header, optionally after a 32-byte signature prefix.
#pragma once

#include "decoders/spi_base.h"

namespace quorvel {

class SpiPX : public SpiBase {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, uint32_t length, PictureInfo* info) override;
  ResultCode getPicture(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                        MemHandle* bitsOut, ProgressCallback progress, intptr_t userData) override;
};

}  // namespace quorvel
