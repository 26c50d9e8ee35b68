// Movable memory through the Windows API; owned bytes from the C library.
#include <windows.h>

#include <cstdlib>

#include "platform/memory.h"
#include "platform/owned_bytes.h"

namespace quorvel {

static_assert(kMemFixed == LMEM_FIXED && kMemMoveable == LMEM_MOVEABLE &&
              kMemZeroInit == LMEM_ZEROINIT && kMemHandleFlags == LHND);

void FreeBytes::operator()(uint8_t* bytes) const {
  std::free(bytes);
}

OwnedBytes allocateBytes(size_t count, ByteFill fill) {
  const size_t bytes = count == 0 ? 1 : count;
  void* block = fill == ByteFill::Zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  return OwnedBytes(static_cast<uint8_t*>(block));
}

MemHandle localAlloc(uint32_t flags, size_t bytes) {
  // A movable block of 0 bytes is born discarded and cannot be locked; an empty archive member or
  // buffer still needs an address, as on every other platform.
  return LocalAlloc(flags, bytes == 0 ? 1 : bytes);
}

void* localLock(MemHandle handle) {
  return LocalLock(handle);
}

bool localUnlock(MemHandle handle) {
  return LocalUnlock(handle) != 0;
}

MemHandle localFree(MemHandle handle) {
  return LocalFree(handle);
}

size_t localSize(MemHandle handle) {
  return LocalSize(handle);
}

}  // namespace quorvel
