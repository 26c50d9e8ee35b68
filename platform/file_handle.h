// Scoped owner of one open file. Each operation passes straight through to one system call
// (CreateFileA & co. on Windows, open/read/write/lseek on POSIX) and reports the raw result.
#pragma once

#include <cstdint>

namespace quorvel {

using NativeFile = intptr_t;
constexpr NativeFile kInvalidFile = -1;

// Values of the Windows API, accepted by both backends.
constexpr uint32_t kFileShareRead = 1;
// Lets another thread delete the file while it is open (Windows): an interrupted run removes its
// temporary files through it.
constexpr uint32_t kFileShareDelete = 4;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kFileAttributeNormal = 128;
constexpr uint32_t kFileAttributeTemporary = 256;
constexpr uint32_t kFileBegin = 0;
constexpr uint32_t kFileCurrent = 1;
constexpr uint32_t kFileEnd = 2;
constexpr uint32_t kInvalidSetFilePointer = 0xFFFFFFFFu;

// The signed distance of a seek, as SetFilePointer reads it: distance alone, or with high as its
// upper 32 bits.
inline int64_t seekDistance(int32_t distance, const int32_t* high) {
  if (high == nullptr) return distance;
  return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                              static_cast<uint32_t>(distance));
}

class FileHandle {
 public:
  explicit FileHandle(NativeFile initial = kInvalidFile) : handle_(initial) {}
  ~FileHandle() { close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // readOnly != 0: existing file, read access; otherwise created anew for reading and writing.
  NativeFile open(const char* path, uint8_t readOnly);
  NativeFile openRead(const char* path, uint32_t shareMode, uint32_t disposition,
                      uint32_t flagsAndAttributes);
  NativeFile openWrite(const char* path, uint32_t shareMode, uint32_t disposition,
                       uint32_t flagsAndAttributes);
  int close();
  uint32_t seek(int32_t distance, uint32_t moveMethod, int32_t* high);
  // Nonzero on success; a read that reaches the end of the file succeeds with a smaller count.
  int read(void* buffer, uint32_t count, uint32_t* done);
  int write(const void* buffer, uint32_t count, uint32_t* done);
  uint32_t size(uint32_t* high);
  NativeFile handle() const { return handle_; }

 private:
  NativeFile handle_;
};

}  // namespace quorvel
