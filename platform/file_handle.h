// Scoped owner of one open file, with 64-bit sizes and positions. Each operation reports success
// as a bool and its result through an output; a read or write larger than one system call takes
// (a DWORD on Windows) is made in pieces.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

using NativeFile = intptr_t;
constexpr NativeFile kInvalidFile = -1;

// Sharing and attribute values of the Windows API, accepted by every backend.
constexpr uint32_t kFileShareRead = 1;
// Lets another thread delete the file while it is open (Windows): an interrupted run removes its
// temporary files through it.
constexpr uint32_t kFileShareDelete = 4;
constexpr uint32_t kFileAttributeNormal = 128;
constexpr uint32_t kFileAttributeTemporary = 256;

// Where a seek's distance counts from.
enum class SeekFrom { Start, Current, End };

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle() { close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // An existing file, for reading.
  bool openRead(const char* path, uint32_t shareMode = kFileShareRead);
  // A file created anew (an existing one is emptied), for writing.
  bool openWrite(const char* path, uint32_t shareMode = 0,
                 uint32_t attributes = kFileAttributeNormal);
  // False when nothing was open or the system reports a failure.
  bool close();
  bool isOpen() const { return handle_ != kInvalidFile; }
  // Moves by distance from the origin; a position before the start fails. position (when given)
  // receives the new position from the start.
  bool seek(int64_t distance, SeekFrom origin, uint64_t* position = nullptr);
  // Reads up to count bytes; a read that reaches the end of the file succeeds with fewer in done.
  bool read(void* buffer, size_t count, size_t& done);
  // Writes count bytes; done tells how many went out before a failure.
  bool write(const void* buffer, size_t count, size_t& done);
  bool size(uint64_t& bytes) const;
  NativeFile handle() const { return handle_; }

 private:
  NativeFile handle_ = kInvalidFile;
};

}  // namespace quorvel
