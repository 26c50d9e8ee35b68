// Owned bytes from the C library.
#include <cstdlib>

#include "platform/owned_bytes.h"

namespace quorvel {

void FreeBytes::operator()(uint8_t* bytes) const {
  std::free(bytes);
}

OwnedBytes allocateBytes(size_t count, ByteFill fill) {
  const size_t bytes = count == 0 ? 1 : count;
  void* block = fill == ByteFill::Zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  return OwnedBytes(static_cast<uint8_t*>(block));
}

}  // namespace quorvel
