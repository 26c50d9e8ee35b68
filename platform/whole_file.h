// Reads through FileHandle that several parts share: bytes at a 64-bit position (the archive
// reader, a plain picture read a slice at a time), and a whole file read into memory (the listing
// and the browse session).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

class FileHandle;

// Moves to position from the start; false unless the file now stands exactly there.
bool seekTo(FileHandle& file, uint64_t position);
// Reads count bytes at position; false unless all of them arrived.
bool readAt(FileHandle& file, uint64_t position, void* buffer, size_t count);

// The file's bytes. False when it cannot be opened or read whole, or is larger than memory can
// address.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes);

}  // namespace quorvel
