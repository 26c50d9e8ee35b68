// One picture file (extension "px") to one BMP file named after the base path with ".bmp"
// appended (a PNG file, ".png", when the options ask for PNG); tiled files holding other than one
// image go to the series writer.
#pragma once

#include "convert/conversion_options.h"
#include "decoders/result_code.h"

namespace quorvel {

ResultCode convertPictureFile(const char* basePath, const char* sourcePath,
                              const ConversionOptions& options = {});

}  // namespace quorvel
