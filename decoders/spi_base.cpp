#include "decoders/spi_base.h"

namespace quorvel {

ResultCode SpiBase::getPictureInfo(const uint8_t*, uint32_t, const DecodeOptions&, PictureInfo*) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::getPicture(const uint8_t*, uint32_t, const DecodeOptions&, MemHandle*,
                               MemHandle*, ProgressCallback, intptr_t) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::getPreview(const uint8_t*, uint32_t, MemHandle*, MemHandle*, ProgressCallback,
                               intptr_t) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::getArchiveInfo(const char*, uint32_t, MemHandle*) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::getFileInfo(const char*, uint32_t, const char*, uint32_t, FileEntry*) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::getFile(const char*, uint32_t, void*, uint32_t, ProgressCallback, intptr_t) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::reserved1(uint32_t, uint32_t, uint32_t) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::reserved2(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
  return ResultCode::NotImplemented;
}
ResultCode SpiBase::reserved3(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
  return ResultCode::NotImplemented;
}

}  // namespace quorvel
