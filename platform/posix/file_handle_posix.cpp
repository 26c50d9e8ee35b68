#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_handle.h"

namespace quorvel {

namespace {

static_assert(sizeof(off_t) == 8, "positions need 64 bits");

// One read or write call is asked for at most this many bytes (Linux moves less than 2 GiB at a
// time anyway).
constexpr size_t kMostBytesPerCall = size_t{1} << 30;

NativeFile openPath(const char* path, int flags) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, 0666);
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

bool FileHandle::openRead(const char* path, uint32_t) {
  close();
  handle_ = openPath(path, O_RDONLY);
  return isOpen();
}

bool FileHandle::openWrite(const char* path, uint32_t, uint32_t) {
  close();
  handle_ = openPath(path, O_WRONLY | O_CREAT | O_TRUNC);
  return isOpen();
}

bool FileHandle::close() {
  if (!isOpen()) return false;
  bool closed = ::close(static_cast<int>(handle_)) == 0;
  handle_ = kInvalidFile;
  return closed;
}

bool FileHandle::seek(int64_t distance, SeekFrom origin, uint64_t* position) {
  if (!isOpen()) return false;
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t reached = ::lseek(static_cast<int>(handle_), distance, kWhence[static_cast<int>(origin)]);
  if (reached < 0) return false;
  if (position != nullptr) *position = static_cast<uint64_t>(reached);
  return true;
}

bool FileHandle::read(void* buffer, size_t count, size_t& done) {
  done = 0;
  if (!isOpen()) return false;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t got =
        ::read(static_cast<int>(handle_), bytes + done, std::min(count - done, kMostBytesPerCall));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return true;
}

bool FileHandle::write(const void* buffer, size_t count, size_t& done) {
  done = 0;
  if (!isOpen()) return false;
  const auto* bytes = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t put =
        ::write(static_cast<int>(handle_), bytes + done, std::min(count - done, kMostBytesPerCall));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

bool FileHandle::size(uint64_t& bytes) const {
  struct stat info;
  if (!isOpen() || ::fstat(static_cast<int>(handle_), &info) != 0) return false;
  bytes = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace quorvel
