// A whole file read into memory through FileHandle, for the listing and the browse session.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel {

// The file's bytes, as many as its size tells in 32 bits (as the conversion reads its inputs).
// False when it cannot be opened or read whole.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes);

}  // namespace quorvel
