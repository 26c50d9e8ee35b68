// Heap bytes owned by one object. Allocation failure is a null owner, never an exception, so that
// the core can report it as a result. Large blocks (a bitmap's rows, a whole picture file) are
// touched page by page right after allocation; the POSIX backend asks for huge pages for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel {

struct FreeBytes {
  void operator()(uint8_t* bytes) const;
};
using OwnedBytes = std::unique_ptr<uint8_t[], FreeBytes>;

// Zeroed: every byte 0. Unset: the caller writes every byte before any is read (it saves a pass
// over memory that the writing replaces anyway).
enum class ByteFill { Zeroed, Unset };

// count bytes (at least one is allocated); null when memory cannot give them.
OwnedBytes allocateBytes(size_t count, ByteFill fill);

}  // namespace quorvel
