// A file's bytes mapped read-only into memory: read where they lie in the system's file cache
// instead of copied into a block of their own (which the system would first clear page by page).
// Where the platform maps no files, map() fails and the caller reads the file as before.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

class FileHandle;

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { unmap(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the open file's first `size` bytes (its size when opened); false, with nothing mapped,
  // when it cannot or size is 0. The mapping outlives the handle.
  bool map(FileHandle& file, uint64_t size);
  void unmap();
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace quorvel
