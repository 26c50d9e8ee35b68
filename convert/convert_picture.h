// One picture file (extension "px") to one BMP file named after the base path with ".bmp"
// appended; tiled files holding other than one image go to the series writer.
#pragma once

#include <cstdint>

#include "convert/conversion_options.h"
#include "decoders/result_code.h"
#include "platform/memory.h"

namespace quorvel {

ResultCode convertPictureFile(const char* basePath, const char* sourcePath,
                              const ConversionOptions& options = {});

// Writes a DIB pair as a BMP file: 14-byte file header, the info block, the pixel rows.
ResultCode writeBmpFile(const char* path, const uint8_t* infoBlock, size_t infoBlockSize,
                        const uint8_t* bits, size_t bitsSize);

}  // namespace quorvel
