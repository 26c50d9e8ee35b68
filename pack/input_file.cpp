#include "pack/input_file.h"

#include <cstdint>

#include "platform/file_handle.h"

namespace quorvel {

PackResult readInputFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FileHandle file;
  uint64_t size = 0;
  if (!file.openRead(path.c_str()) || !file.size(size)) {
    return PackResult::failed(ResultCode::ReadError, path, "cannot be read");
  }
  if (size > UINT32_MAX) {
    return PackResult::failed(ResultCode::UnknownFormat, path,
                              "larger than the 4 GiB an archive member can hold");
  }
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  if (!file.read(bytes.data(), bytes.size(), done) || done != bytes.size()) {
    return PackResult::failed(ResultCode::ReadError, path, "cannot be read");
  }
  return PackResult{};
}

}  // namespace quorvel
