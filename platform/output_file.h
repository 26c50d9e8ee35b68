// An output file written under a temporary name beside its final one and renamed into place only
// when complete, so that a failed write never leaves a truncated file and never destroys an
// earlier good one.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_handle.h"
#include "platform/pending_paths.h"

namespace quorvel {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool create(const char* finalPath);
  // Writes all bytes; false on any failure or short write.
  bool write(const void* bytes, uint64_t count);
  // Writes all bytes at a position from the start (an earlier part left for later).
  bool writeAt(uint64_t position, const void* bytes, uint64_t count);
  // Closes the file and renames it into place; false (and nothing left behind) on failure.
  bool commit();

 private:
  void discard();
  void forgetPartial();

  FileHandle file_;
  std::string finalPath_;
  std::string partialPath_;
  bool open_ = false;
  // The partial file is listed for removal should the run be interrupted while it exists.
  PendingTicket pending_ = kNoTicket;
};

}  // namespace quorvel
