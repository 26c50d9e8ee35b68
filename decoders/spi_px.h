// Plain pictures: one uncompressed picture of 8, 16 or 32 bits per pixel behind a 32-byte header,
// optionally preceded by a 32-byte prefix (type 144, with the prefix signature at offset 20).
#pragma once

#include <cstdint>

#include "decoders/spi_base.h"

namespace quorvel {

constexpr uint32_t kPxHeaderBytes = 32;
constexpr uint16_t kPxPrefixType = 144;

// The start of the picture header: 32 bytes in when the word at offset 16 is the prefix type.
// The buffer must hold at least 18 bytes.
const uint8_t* pxHeaderStart(const uint8_t* buffer);

class SpiPX : public SpiBase {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, uint32_t length, PictureInfo* info) override;
  // UnknownFormat for a header that no BMP can hold or that asks for more bytes than the file has.
  ResultCode getPicture(const uint8_t* buffer, uint32_t length, MemHandle* infoOut,
                        MemHandle* bitsOut, ProgressCallback progress, intptr_t userData) override;
};

}  // namespace quorvel
