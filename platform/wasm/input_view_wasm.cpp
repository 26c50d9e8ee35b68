// The browser's files are memory already: they are read, never mapped.
#include "platform/input_view.h"

namespace quorvel {

const void* mapFileView(NativeFile, size_t) {
  return nullptr;
}

void unmapFileView(const void*, size_t) {}

}  // namespace quorvel
