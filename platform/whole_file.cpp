#include "platform/whole_file.h"

#include "platform/file_handle.h"

namespace quorvel {

bool seekTo(FileHandle& file, uint64_t position) {
  uint64_t reached = 0;
  return position <= static_cast<uint64_t>(INT64_MAX) &&
         file.seek(static_cast<int64_t>(position), SeekFrom::Start, &reached) &&
         reached == position;
}

bool readAt(FileHandle& file, uint64_t position, void* buffer, size_t count) {
  size_t done = 0;
  return seekTo(file, position) && file.read(buffer, count, done) && done == count;
}

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FileHandle file;
  uint64_t size = 0;
  if (!file.openRead(path) || !file.size(size) || size > bytes.max_size()) return false;
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  if (size > 0 && (!file.read(bytes.data(), bytes.size(), done) || done != size)) {
    bytes.clear();
    return false;
  }
  return true;
}

}  // namespace quorvel
