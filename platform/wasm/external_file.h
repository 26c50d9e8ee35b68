// Files of the browser build that stay with the page: their bytes are read on demand through
// Module.readExternal(id, position, address, count) of the page's host, which answers the number
// of bytes it wrote to the module's memory at address.
#pragma once

#include <cstdint>

namespace quorvel {

// A read-only file at path (inside an existing folder) whose size bytes are the host's file id.
// False when the folder is missing or the path is taken.
bool createExternalFile(const char* path, uint32_t id, uint64_t size);

}  // namespace quorvel
