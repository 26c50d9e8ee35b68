// Packing one picture: a BMP or PNG file into a picture file (.px) of the smallest sub-format
// that gives its pixels back (picture_member.h). Written under a temporary name and renamed into
// place only when complete.
#pragma once

#include <cstdint>
#include <string>

#include "pack/pack_result.h"

namespace quorvel {

PackResult packPicture(const std::string& picturePath, const std::string& outputPath,
                       uint64_t maxPixels);

}  // namespace quorvel
