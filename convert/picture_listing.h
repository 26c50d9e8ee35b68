// What a picture file holds, as a record for a listing: nothing is converted or written.
#pragma once

#include <cstdint>
#include <string>

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
  std::string damage;        // what is wrong with a picture whose header reads (see below)
};

// ReadError when the file cannot be read, UnknownFormat when it is no picture this program
// knows or its header says nothing sound; UnknownFormat too, with the listing filled and damage
// saying why, for a picture whose data are shorter than its header needs. The options decide the
// depth of alpha pictures.
ResultCode describePicture(const char* path, const DecodeOptions& options, PictureListing& listing);

}  // namespace quorvel
