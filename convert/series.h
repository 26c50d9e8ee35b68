// Tiled files (types 0x0B and 0x0C) that do not hold exactly one image become a numbered series
// of BMP files, one per image ("_%04d.bmp" counted from 0; "_%04d.png" when the options ask for
// PNG), by default in a folder named after the base path.
#pragma once

#include <string>

#include "convert/conversion_options.h"
#include "decoders/result_code.h"

namespace quorvel {

// What follows the stem in the name of image number (from 0): "_" and at least four digits.
std::string seriesNumberSuffix(int number);

// Both take the output path without extension and the source path; they answer Success,
// ReadError (the source cannot be read, or is shorter than its 32-byte header), WriteError (an
// output name too long, or a file that cannot be written: the series stops there),
// UnknownFormat (a header or tile the decoder refuses) or OutOfMemory.
ResultCode convertTiledWithColoursSeries(const char* basePath, const char* sourcePath,
                                         const ConversionOptions& options = {});
ResultCode convertTiledBorderedSeries(const char* basePath, const char* sourcePath,
                                      const ConversionOptions& options = {});

}  // namespace quorvel
