#include "platform/whole_file.h"

#include "platform/file_handle.h"

namespace quorvel {

bool seekTo(FileHandle& file, uint64_t position) {
  int32_t high = static_cast<int32_t>(position >> 32);
  uint32_t low =
      file.seek(static_cast<int32_t>(static_cast<uint32_t>(position)), kFileBegin, &high);
  return !(low == kInvalidSetFilePointer && static_cast<uint32_t>(high) == 0xFFFFFFFFu) &&
         ((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low) == position;
}

bool readAt(FileHandle& file, uint64_t position, void* buffer, uint32_t count) {
  uint32_t done = 0;
  return seekTo(file, position) && file.read(buffer, count, &done) != 0 && done == count;
}

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
