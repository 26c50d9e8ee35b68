#include "decoders/spi_px04.h"

namespace quorvel {

// Not decoded yet.
ResultCode SpiPx04::getPictureInfo(const uint8_t*, uint32_t, PictureInfo*) {
  return ResultCode::UnknownFormat;
}

ResultCode SpiPx04::getPicture(const uint8_t*, uint32_t, MemHandle*, MemHandle*, ProgressCallback,
                          intptr_t) {
  return ResultCode::UnknownFormat;
}

}  // namespace quorvel
