#include "pack/pack_picture.h"

#include <vector>

#include "pack/picture_member.h"
#include "platform/output_file.h"

namespace quorvel {

PackResult packPicture(const std::string& picturePath, const std::string& outputPath,
                       uint64_t maxPixels) {
  Raster raster;
  PackResult read = readPictureFile(picturePath, maxPixels, raster);
  if (!read.ok()) return read;
  std::vector<uint8_t> file = pictureFile(raster);
  OutputFile out;
  if (!out.create(outputPath.c_str()) || !out.write(file.data(), file.size()) || !out.commit()) {
    return PackResult::failed(ResultCode::WriteError, outputPath, "cannot be written");
  }
  return PackResult{};
}

}  // namespace quorvel
