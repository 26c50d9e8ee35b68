// Movable memory (LocalAlloc & co. on Windows, a small handle type of our own on POSIX) and
// MemoryBlock, the scoped owner of a movable block: what the archive reader hands its callers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

using MemHandle = void*;

constexpr uint32_t kMemFixed = 0x00;
constexpr uint32_t kMemMoveable = 0x02;
constexpr uint32_t kMemZeroInit = 0x40;
constexpr uint32_t kMemHandleFlags = kMemMoveable | kMemZeroInit;  // LHND

// Null on failure. A movable block must be locked to reach its bytes; a fixed block's handle is
// its address.
MemHandle localAlloc(uint32_t flags, size_t bytes);
void* localLock(MemHandle handle);
bool localUnlock(MemHandle handle);
// Null on success, the handle itself on failure.
MemHandle localFree(MemHandle handle);
size_t localSize(MemHandle handle);

class MemoryBlock {
 public:
  MemoryBlock() = default;
  ~MemoryBlock() {
    if (handle_ != nullptr) free();
  }
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;

  // With kMemMoveable: the locked address (null when allocation or locking failed); without it
  // the handle itself, which for fixed memory is the address.
  void* allocate(size_t bytes, uint32_t flags);
  void free();
  // Takes over a handle produced elsewhere (freeing any held one) and locks it.
  void* attach(MemHandle handle);
  // Unlocks the block and gives it up; the caller owns the returned handle.
  MemHandle release();
  MemHandle handle() const { return handle_; }

 private:
  MemHandle handle_ = nullptr;
};

}  // namespace quorvel
