// What a picture file holds, as a record for a listing: nothing is converted or written.
#pragma once

#include <cstdint>

#include "convert/picture_kind.h"
#include "decoders/decode_options.h"
#include "decoders/result_code.h"

namespace quorvel {

struct PictureListing {
  PictureKind kind = PictureKind::Unknown;
  int64_t width = 0;
  int64_t height = 0;        // of one image
  int32_t bitsPerPixel = 0;  // of the picture as converted (alpha pictures: 24 when blended)
  int64_t imageCount = 0;    // tiled files may hold several, or none
};

// ReadError when the file cannot be read, UnknownFormat when it is no picture this program
// knows or its header says nothing sound. The options decide the depth of alpha pictures.
ResultCode describePicture(const char* path, const DecodeOptions& options, PictureListing& listing);

}  // namespace quorvel
