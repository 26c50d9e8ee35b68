#include "decoders/spi_px.h"

namespace quorvel {

// Not decoded yet.
ResultCode SpiPX::getPictureInfo(const uint8_t*, uint32_t, PictureInfo*) {
  return ResultCode::UnknownFormat;
}

ResultCode SpiPX::getPicture(const uint8_t*, uint32_t, MemHandle*, MemHandle*, ProgressCallback,
                          intptr_t) {
  return ResultCode::UnknownFormat;
}

}  // namespace quorvel
