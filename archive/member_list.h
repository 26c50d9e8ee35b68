// The members of an archive file as the reader lists them, after the file's first bytes have
// been checked for an archive header, and one member's bytes as extraction delivers them. Shared
// by the conversion, the listing and the browse session.
#pragma once

#include <cstddef>
#include <cstdint>

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

// One member's bytes in memory, as extraction delivers them.
struct MemberBytes {
  MemoryBlock block;
  const uint8_t* data = nullptr;
  size_t size = 0;  // the listed size, never more than the block holds
};

// Reads the member of the listed entry from the archive. The reader's results (ReadError,
// OutOfMemory for an empty member or one that memory cannot hold), LockFailed when the block
// cannot be reached, Success.
ResultCode readMember(const char* archivePath, const FileEntry& entry, MemberBytes& bytes);

}  // namespace quorvel
