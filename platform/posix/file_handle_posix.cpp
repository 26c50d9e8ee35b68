#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/file_handle.h"

namespace quorvel {

namespace {

int openFlags(bool read, bool write, uint32_t disposition) {
  int flags = (read && write) ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
  if (disposition == kCreateAlways) flags |= O_CREAT | O_TRUNC;
  return flags | O_CLOEXEC;
}

NativeFile openPath(const char* path, int flags) {
  int fd;
  do {
    fd = ::open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidFile;
  struct stat info;
  // Folders open for reading on POSIX; a file handle never refers to one.
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return kInvalidFile;
  }
  return fd;
}

}  // namespace

NativeFile FileHandle::open(const char* path, uint8_t readOnly) {
  handle_ = openPath(path, readOnly != 0 ? openFlags(true, false, kOpenExisting)
                                         : openFlags(true, true, kCreateAlways));
  return handle_;
}

NativeFile FileHandle::openRead(const char* path, uint32_t, uint32_t disposition, uint32_t) {
  handle_ = openPath(path, openFlags(true, false, disposition));
  return handle_;
}

NativeFile FileHandle::openWrite(const char* path, uint32_t, uint32_t disposition, uint32_t) {
  handle_ = openPath(path, openFlags(false, true, disposition));
  return handle_;
}

int FileHandle::close() {
  if (handle_ == kInvalidFile) return 0;
  int result = ::close(static_cast<int>(handle_)) == 0 ? 1 : 0;
  handle_ = kInvalidFile;
  return result;
}

uint32_t FileHandle::seek(int32_t distance, uint32_t moveMethod, int32_t* high) {
  if (handle_ == kInvalidFile || moveMethod > kFileEnd) return kInvalidSetFilePointer;
  int64_t offset = seekDistance(distance, high);
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t position = ::lseek(static_cast<int>(handle_), offset, kWhence[moveMethod]);
  if (position < 0) return kInvalidSetFilePointer;
  if (high != nullptr) *high = static_cast<int32_t>(static_cast<uint64_t>(position) >> 32);
  return static_cast<uint32_t>(position);
}

int FileHandle::read(void* buffer, uint32_t count, uint32_t* done) {
  uint32_t total = 0;
  if (done != nullptr) *done = 0;
  if (handle_ == kInvalidFile) return 0;
  auto* bytes = static_cast<char*>(buffer);
  while (total < count) {
    size_t chunk = count - total < 0x40000000u ? count - total : 0x40000000u;
    ssize_t got = ::read(static_cast<int>(handle_), bytes + total, chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return 0;
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  if (done != nullptr) *done = total;
  return 1;
}

int FileHandle::write(const void* buffer, uint32_t count, uint32_t* done) {
  uint32_t total = 0;
  if (done != nullptr) *done = 0;
  if (handle_ == kInvalidFile) return 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (total < count) {
    size_t chunk = count - total < 0x40000000u ? count - total : 0x40000000u;
    ssize_t put = ::write(static_cast<int>(handle_), bytes + total, chunk);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (done != nullptr) *done = total;
      return 0;
    }
    total += static_cast<uint32_t>(put);
  }
  if (done != nullptr) *done = total;
  return 1;
}

uint32_t FileHandle::size(uint32_t* high) {
  struct stat info;
  if (handle_ == kInvalidFile || ::fstat(static_cast<int>(handle_), &info) != 0) return 0xFFFFFFFFu;
  if (high != nullptr) *high = static_cast<uint32_t>(static_cast<uint64_t>(info.st_size) >> 32);
  return static_cast<uint32_t>(info.st_size);
}

}  // namespace quorvel
