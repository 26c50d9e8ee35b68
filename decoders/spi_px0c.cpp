#include "decoders/spi_px0c.h"

namespace quorvel {

// Not decoded yet.
ResultCode SpiPx0C::getPictureInfo(const uint8_t*, uint32_t, PictureInfo*) {
  return ResultCode::UnknownFormat;
}

ResultCode SpiPx0C::getPicture(const uint8_t*, uint32_t, MemHandle*, MemHandle*, ProgressCallback,
                          intptr_t) {
  return ResultCode::UnknownFormat;
}

}  // namespace quorvel
