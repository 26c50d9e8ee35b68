#include "decoders/spi_px0b.h"

namespace quorvel {

// Not decoded yet.
ResultCode SpiPx0B::getPictureInfo(const uint8_t*, uint32_t, PictureInfo*) {
  return ResultCode::UnknownFormat;
}

ResultCode SpiPx0B::getPicture(const uint8_t*, uint32_t, MemHandle*, MemHandle*, ProgressCallback,
                          intptr_t) {
  return ResultCode::UnknownFormat;
}

}  // namespace quorvel
