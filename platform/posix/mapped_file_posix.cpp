#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdint>

#include "platform/file_handle.h"
#include "platform/mapped_file.h"

namespace quorvel {

namespace {
#ifdef MAP_POPULATE
constexpr int kPopulate = MAP_POPULATE;
#else
constexpr int kPopulate = 0;
#endif
}  // namespace

bool MappedFile::map(FileHandle& file, uint64_t size) {
  unmap();
  struct stat info;
  const int fd = static_cast<int>(file.handle());
  // Pages past the end of the file cannot be read: never map more than it holds now.
  if (size == 0 || size > SIZE_MAX || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<uint64_t>(info.st_size) < size) {
    return false;
  }
  // Pages set up in one go where the system can: one call instead of a fault every few pages.
  void* view =
      ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE | kPopulate, fd, 0);
  if (view == MAP_FAILED) return false;
  data_ = static_cast<const uint8_t*>(view);
  size_ = static_cast<size_t>(size);
  return true;
}

void MappedFile::unmap() {
  if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace quorvel
