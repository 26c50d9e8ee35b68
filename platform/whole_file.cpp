#include "platform/whole_file.h"

#include "platform/file_handle.h"

namespace quorvel {

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FileHandle file;
  if (file.openRead(path, kFileShareRead, kOpenExisting, kFileAttributeNormal) == kInvalidFile) {
    return false;
  }
  uint32_t size = file.size(nullptr);
  if (size == 0xFFFFFFFFu) return false;
  bytes.resize(size);
  uint32_t done = 0;
  if (size > 0 && (file.read(bytes.data(), size, &done) == 0 || done != size)) {
    bytes.clear();
    return false;
  }
  return true;
}

}  // namespace quorvel
