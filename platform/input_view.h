// The bytes of a whole input file for decoders that read it in place: mapped into memory where the
// platform can (no copy, and the pages the system already holds for the file are shared), read
// into a zero-filled block where it cannot, or where the file is small enough that reading costs
// no more than mapping.
//
// A mapped file must keep its size while it is mapped. Windows refuses to shorten a mapped file;
// on POSIX a file that another program shortens meanwhile makes the bytes beyond its new end
// unreadable, which ends the run with a message (its partial output files removed) instead of
// reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_handle.h"

namespace quorvel {

enum class InputLoad { Loaded, CannotRead, NoMemory };

// Files from this size on are mapped.
constexpr uint32_t kMappedInputBytes = 1u << 20;

class InputView {
 public:
  InputView() = default;
  ~InputView() { release(); }
  InputView(const InputView&) = delete;
  InputView& operator=(const InputView&) = delete;

  // The open file from its start, as many bytes as its size tells in 32 bits (a short read gives
  // fewer). mayMap false reads in any case. The file may be closed afterwards.
  InputLoad load(FileHandle& file, bool mayMap = true);
  void release();

  const uint8_t* data() const { return data_; }
  uint32_t size() const { return size_; }
  bool mapped() const { return mapped_; }

 private:
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  bool mapped_ = false;
};

// Backend: a read-only view of the first `bytes` bytes of an open file, or null where the file
// cannot be mapped (the caller then reads it); the view outlives the file's handle.
const void* mapFileView(NativeFile file, size_t bytes);
void unmapFileView(const void* view, size_t bytes);

}  // namespace quorvel
