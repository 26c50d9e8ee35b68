// Tiled files that do not hold exactly one image become numbered BMP series ("_%04d.bmp").
#pragma once

#include "decoders/result_code.h"

namespace quorvel {

ResultCode convertPx0BSeries(const char* basePath, const char* sourcePath);
ResultCode convertPx0CSeries(const char* basePath, const char* sourcePath);

}  // namespace quorvel
