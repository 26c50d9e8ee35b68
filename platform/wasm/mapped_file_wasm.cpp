#include "platform/mapped_file.h"

namespace quorvel {

// Not mapped here: the caller reads the file whole instead.
bool MappedFile::map(FileHandle&, uint64_t) {
  return false;
}

void MappedFile::unmap() {}

}  // namespace quorvel
