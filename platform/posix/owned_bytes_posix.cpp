// Owned bytes from the C library, with a huge-page hint for large blocks.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "platform/owned_bytes.h"

namespace quorvel {

namespace {

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

}  // namespace quorvel
