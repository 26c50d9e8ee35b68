// The members of an archive file as the reader lists them, after the file's first bytes have
// been checked for an archive header, and one member's bytes as extraction delivers them. Shared
// by the conversion, the listing and the browse session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/file_entry.h"
#include "decoders/result_code.h"
#include "platform/owned_bytes.h"

namespace quorvel {

class MemberList {
 public:
  // ReadError when the file cannot be opened or read, UnknownFormat without an archive header,
  // OutOfMemory when the list cannot be held.
  ResultCode read(const char* archivePath);

  size_t count() const { return entries_.size(); }
  const FileEntry& operator[](size_t index) const { return entries_[index]; }

 private:
  std::vector<FileEntry> entries_;
};

// One member's bytes in memory, as extraction delivers them.
struct MemberBytes {
  OwnedBytes block;
  const uint8_t* data = nullptr;  // block's bytes while it is held
  size_t size = 0;                // the listed size, never more than the block holds
};

// Reads the member of the listed entry from the archive. The reader's results (ReadError,
// OutOfMemory for an empty member or one that memory cannot hold), Success.
ResultCode readMember(const char* archivePath, const FileEntry& entry, MemberBytes& bytes);

}  // namespace quorvel
