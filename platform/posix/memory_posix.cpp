// Movable memory for POSIX: a handle points at a small header in front of the block's bytes.
// Blocks never actually move; the lock count exists so that misuse stays visible in tests.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/memory.h"
#include "platform/owned_bytes.h"

namespace quorvel {

namespace {

struct alignas(16) BlockHeader {
  size_t size;
  uint32_t flags;
  uint32_t lockCount;
};

BlockHeader* header(MemHandle handle) {
  return static_cast<BlockHeader*>(handle);
}

// Large blocks (a whole picture file, a bitmap's rows) are touched page by page right after
// allocation; asking for huge pages saves most of the page faults. Only a hint: the whole
// 2 MiB pages inside the block are named, and a refusal changes nothing.
void hintHugePages(void* block, size_t bytes) {
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (block == nullptr || bytes < 2 * kHugePage) return;
  uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace

void FreeBytes::operator()(uint8_t* bytes) const {
  std::free(bytes);
}

OwnedBytes allocateBytes(size_t count, ByteFill fill) {
  const size_t bytes = count == 0 ? 1 : count;
  void* block = fill == ByteFill::Zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  hintHugePages(block, bytes);
  return OwnedBytes(static_cast<uint8_t*>(block));
}

MemHandle localAlloc(uint32_t flags, size_t bytes) {
  if ((flags & kMemMoveable) == 0) {
    void* block = (flags & kMemZeroInit) != 0 ? std::calloc(bytes == 0 ? 1 : bytes, 1)
                                              : std::malloc(bytes == 0 ? 1 : bytes);
    hintHugePages(block, bytes);
    return block;
  }
  if (bytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  void* raw = (flags & kMemZeroInit) != 0 ? std::calloc(sizeof(BlockHeader) + bytes, 1)
                                          : std::malloc(sizeof(BlockHeader) + bytes);
  if (raw == nullptr) return nullptr;
  hintHugePages(raw, sizeof(BlockHeader) + bytes);
  auto* block = new (raw) BlockHeader{bytes, flags, 0};
  return block;
}

// Fixed blocks are plain heap blocks; only movable ones carry a header. The handle alone does not
// say which, so callers keep to the rule of the Windows API: lock and unlock movable blocks only.
void* localLock(MemHandle handle) {
  if (handle == nullptr) return nullptr;
  BlockHeader* block = header(handle);
  ++block->lockCount;
  return block + 1;
}

bool localUnlock(MemHandle handle) {
  if (handle == nullptr) return false;
  BlockHeader* block = header(handle);
  if (block->lockCount > 0) --block->lockCount;
  return block->lockCount > 0;
}

MemHandle localFree(MemHandle handle) {
  // Fixed and movable blocks both start where malloc placed them.
  std::free(handle);
  return nullptr;
}

size_t localSize(MemHandle handle) {
  return handle == nullptr ? 0 : header(handle)->size;
}

}  // namespace quorvel
