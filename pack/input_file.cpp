#include "pack/input_file.h"

#include <algorithm>

#include "platform/file_handle.h"

namespace quorvel {

PackResult readInputFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FileHandle file;
  if (file.openRead(path.c_str(), kFileShareRead, kOpenExisting, kFileAttributeNormal) ==
      kInvalidFile) {
    return PackResult::failed(ResultCode::ReadError, path, "cannot be read");
  }
  uint32_t high = 0xFFFFFFFFu;  // left as it is when the size cannot be told
  uint32_t low = file.size(&high);
  if (low == 0xFFFFFFFFu && high == 0xFFFFFFFFu) {
    return PackResult::failed(ResultCode::ReadError, path, "cannot be read");
  }
  if (high != 0) {
    return PackResult::failed(ResultCode::UnknownFormat, path,
                              "larger than the 4 GiB an archive member can hold");
  }
  bytes.resize(low);
  size_t done = 0;
  while (done < bytes.size()) {
    uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(bytes.size() - done, 1u << 30));
    uint32_t got = 0;
    if (file.read(bytes.data() + done, chunk, &got) == 0 || got == 0) {
      return PackResult::failed(ResultCode::ReadError, path, "cannot be read");
    }
    done += got;
  }
  return PackResult{};
}

}  // namespace quorvel
