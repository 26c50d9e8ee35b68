// The members of an archive file as the reader lists them, after the file's first bytes have
// been checked for an archive header. Shared by the conversion and the listing.
#pragma once

#include <cstddef>

#include "archive/file_entry.h"
#include "decoders/result_code.h"
#include "platform/memory.h"

namespace quorvel {

class MemberList {
 public:
  // ReadError when the file cannot be opened or read, UnknownFormat without an archive header,
  // OutOfMemory or LockFailed when the list cannot be held.
  ResultCode read(const char* archivePath);

  size_t count() const { return count_; }
  const FileEntry& operator[](size_t index) const { return entries_[index]; }

 private:
  MemoryBlock block_;
  const FileEntry* entries_ = nullptr;
  size_t count_ = 0;
};

}  // namespace quorvel
