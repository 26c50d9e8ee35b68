#include "platform/memory.h"

namespace quorvel {

void* MemoryBlock::allocate(size_t bytes, uint32_t flags) {
  handle_ = localAlloc(flags, bytes);
  if ((flags & kMemMoveable) == 0) return handle_;
  return handle_ == nullptr ? nullptr : localLock(handle_);
}

void MemoryBlock::free() {
  localFree(handle_);
  handle_ = nullptr;
}

void* MemoryBlock::attach(MemHandle handle) {
  if (handle_ != nullptr) free();
  handle_ = handle;
  return handle == nullptr ? nullptr : localLock(handle);
}

MemHandle MemoryBlock::release() {
  MemHandle given = handle_;
  if (given != nullptr) localUnlock(given);
  handle_ = nullptr;
  return given;
}

}  // namespace quorvel
