// Reads through FileHandle that several parts share: bytes at a 64-bit position (the archive
// reader, a plain picture read a slice at a time), and a whole file read into memory (the listing
// and the browse session).
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel {

class FileHandle;

// Moves to position from the start; false unless the file now stands exactly there (a position
// whose low half is 0xFFFFFFFF is told apart from a failure by the high half).
bool seekTo(FileHandle& file, uint64_t position);
// Reads count bytes at position; false unless all of them arrived.
bool readAt(FileHandle& file, uint64_t position, void* buffer, uint32_t count);

// The file's bytes, as many as its size tells in 32 bits (as the conversion reads its inputs).
// False when it cannot be opened or read whole.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes);

}  // namespace quorvel
