// The interface shared by every picture decoder and the archive reader: nine operations in a
// fixed order, each answering a ResultCode. An operation a class does not provide answers
// NotImplemented.
#pragma once

#include <cstdint>

#include "decoders/decode_options.h"
#include "decoders/result_code.h"
#include "platform/memory.h"

namespace quorvel {

#pragma pack(push, 1)
struct PictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t densityX;
  uint16_t densityY;
  int16_t bitDepth;
  MemHandle textInfo;
};
#pragma pack(pop)

// Numerator, denominator, user data; a non-zero answer asks the operation to stop.
using ProgressCallback = int32_t (*)(int32_t, int32_t, intptr_t);

struct FileEntry;

class SpiBase {
 public:
  virtual ResultCode getPictureInfo(const uint8_t* buffer, uint32_t length,
                                    const DecodeOptions& options, PictureInfo* info);
  // The caller sets both outputs to null and owns whatever they hold afterwards.
  virtual ResultCode getPicture(const uint8_t* buffer, uint32_t length,
                                const DecodeOptions& options, MemHandle* infoOut,
                                MemHandle* bitsOut, ProgressCallback progress, intptr_t userData);
  virtual ResultCode getPreview(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                                MemHandle* bitsOut, ProgressCallback progress, intptr_t userData);
  virtual ResultCode getArchiveInfo(const char* archivePath, uint32_t archiveStart,
                                    MemHandle* listOut);
  virtual ResultCode getFileInfo(const char* archivePath, uint32_t archiveStart,
                                 const char* memberName, uint32_t flags, FileEntry* entryOut);
  virtual ResultCode getFile(const char* archivePath, uint32_t recordPosition, void* destination,
                             uint32_t flags, ProgressCallback progress, intptr_t userData);
  virtual ResultCode reserved1(uint32_t, uint32_t, uint32_t);
  virtual ResultCode reserved2(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
  virtual ResultCode reserved3(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);

 protected:
  SpiBase() = default;
  ~SpiBase() = default;
};

}  // namespace quorvel
