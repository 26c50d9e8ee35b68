// LZSS as archives store it: a 4096-byte history window (all zero at the start, first write at
// 4078), flag bytes whose bits, least significant first, announce a literal byte (bit set) or a
// two-byte match (bit clear: 12-bit window position, 4-bit length + 3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel {

class FileHandle;

constexpr uint32_t kLzssWindowBytes = 4096;
constexpr uint32_t kLzssFirstWrite = kLzssWindowBytes - 18;  // 4078
// Most output one input byte can produce: a 2-byte match yields up to 18 bytes.
constexpr uint32_t kLzssMaxExpansion = 9;

// The input side of one decode. The bytes at readPointer are consumed first; when they run out
// and sourceLeft is not 0, the next piece (up to kLzssBufferBytes, at most sourceLeft) is read
// from the file into buffer. The input ends when both are exhausted: a decode never reads past
// the bytes its reader was given.
struct LzssReader {
  static constexpr uint32_t kLzssBufferBytes = 256 * 1024;

  const uint8_t* readPointer = nullptr;
  uint32_t bytesLeft = 0;   // bytes at readPointer not yet consumed
  uint64_t sourceLeft = 0;  // bytes still to be read from the file
  std::unique_ptr<uint8_t[]> buffer;
  uint32_t bufferBytes = 0;  // capacity of buffer: kLzssBufferBytes, less for a short input

  // Input from memory only.
  static LzssReader fromMemory(const uint8_t* bytes, size_t length);
  // Input from the file's current position, at most length bytes. False when the buffer cannot
  // be allocated.
  bool attachFile(uint64_t length);
};

// The next input byte, or -1 when the input has ended (also when a file read fails).
int nextByte(LzssReader& reader, FileHandle* file);

// Produces up to size bytes into out; returns the number produced, which is size unless the
// input ended first. Never writes outside out[0, size) and never reads outside its input.
uint32_t lzssDecode(LzssReader& reader, FileHandle* file, uint8_t* out, uint32_t size);

}  // namespace quorvel
