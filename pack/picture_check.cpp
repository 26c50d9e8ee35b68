#include "pack/picture_check.h"

#include "convert/convert_picture.h"
#include "platform/temporary_folder.h"

namespace quorvel {

bool convertsAsPicture(const std::string& path) {
  TemporaryFolder folder;
  if (folder.path().empty()) return false;
  const std::string base = folder.path() + "check";
  return convertPictureFile(base.c_str(), path.c_str()) == ResultCode::Success;
}

}  // namespace quorvel
