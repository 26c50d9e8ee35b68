// One picture file (extension "px") to one BMP file named after the base path with ".bmp"
// appended (a PNG file, ".png", when the options ask for PNG); tiled files holding other than one
// image go to the series writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/conversion_options.h"
#include "decoders/result_code.h"

namespace quorvel {

ResultCode convertPictureFile(const char* basePath, const char* sourcePath,
                              const ConversionOptions& options = {});

// Whether convertPictureBytes takes the picture whose bytes these are: a single picture of a kind
// this program knows (a series is written from its file).
bool convertsInMemory(const uint8_t* bytes, size_t size);

// The picture whose bytes are in memory (an archive member) as convertPictureFile converts its
// file; `name` stands for the file in an error line. UnknownFormat when convertsInMemory is false.
ResultCode convertPictureBytes(const char* basePath, const char* name, const uint8_t* bytes,
                               size_t size, const ConversionOptions& options);

}  // namespace quorvel
