#include "archive/lzss.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/file_handle.h"

namespace quorvel {

namespace {

// A flag byte and eight two-byte matches: the most input one group can take.
constexpr uint32_t kMaxGroupInput = 17;
// The most output one group can produce, plus room for the 8-byte copies of the fast path.
constexpr uint32_t kMaxGroupOutput = 8 * 18 + 8;

// Moves what is left to the front of the buffer and reads the next piece behind it.
void refill(LzssReader& reader, FileHandle* file) {
  if (reader.sourceLeft == 0 || file == nullptr || !reader.buffer) return;
  uint8_t* buffer = reader.buffer.get();
  if (reader.bytesLeft > 0) std::memmove(buffer, reader.readPointer, reader.bytesLeft);
  uint32_t room = reader.bufferBytes - reader.bytesLeft;
  uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(room, reader.sourceLeft));
  size_t arrived = 0;
  if (!file->read(buffer + reader.bytesLeft, want, arrived)) arrived = 0;
  const auto got = static_cast<uint32_t>(arrived);
  // A short read means the file ended early: the input ends with what has arrived.
  reader.sourceLeft = got == want ? reader.sourceLeft - got : 0;
  reader.readPointer = buffer;
  reader.bytesLeft += got;
}

// Distance back from output position n to the byte that window position `position` holds:
// 1 to 4096. The window's write position is (4078 + n) mod 4096.
inline size_t matchDistance(size_t n, uint32_t position) {
  return ((kLzssFirstWrite + n - position - 1) & (kLzssWindowBytes - 1)) + 1;
}

// Copies a match whose source may lie before the output's start (the zero-filled window).
inline void copyMatchCareful(uint8_t* out, size_t n, size_t distance, uint32_t length) {
  for (uint32_t k = 0; k < length; ++k, ++n) {
    out[n] = n >= distance ? out[n - distance] : 0;
  }
}

// One whole flag group from a buffer known to hold kMaxGroupInput bytes, into an output with at
// least kMaxGroupOutput bytes of room. Returns the new output position.
inline size_t decodeGroup(const uint8_t*& in, uint8_t* out, size_t n) {
  uint32_t flags = *in++;
  if (flags == 0xFF) {  // eight literals
    std::memcpy(out + n, in, 8);
    in += 8;
    return n + 8;
  }
  for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
    uint32_t b1 = *in++;
    if ((flags & 1) != 0) {
      out[n++] = static_cast<uint8_t>(b1);
      continue;
    }
    uint32_t b2 = *in++;
    uint32_t position = b1 | ((b2 & 0xF0) << 4);
    uint32_t length = (b2 & 0x0F) + 3;
    size_t distance = matchDistance(n, position);
    if (distance > n) {
      copyMatchCareful(out, n, distance, length);
    } else if (distance >= 8) {
      // Three 8-byte copies cover the longest match; each reads only bytes already written.
      uint8_t* to = out + n;
      const uint8_t* from = to - distance;
      std::memcpy(to, from, 8);
      std::memcpy(to + 8, from + 8, 8);
      std::memcpy(to + 16, from + 16, 8);
    } else if (distance == 1) {
      std::memset(out + n, out[n - 1], length);  // a run of the last byte
    } else {
      uint8_t* to = out + n;
      const uint8_t* from = to - distance;
      for (uint32_t k = 0; k < length; ++k) to[k] = from[k];
    }
    n += length;
  }
  return n;
}

}  // namespace

LzssReader LzssReader::fromMemory(const uint8_t* bytes, size_t length) {
  LzssReader reader;
  reader.readPointer = bytes;
  reader.bytesLeft = static_cast<uint32_t>(std::min<size_t>(length, UINT32_MAX));
  return reader;
}

bool LzssReader::attachFile(uint64_t length) {
  // A small member needs no more than its own bytes.
  bufferBytes =
      static_cast<uint32_t>(std::max<uint64_t>(std::min<uint64_t>(length, kLzssBufferBytes), 1));
  buffer.reset(new (std::nothrow) uint8_t[bufferBytes]);
  readPointer = buffer.get();
  bytesLeft = 0;
  sourceLeft = buffer ? length : 0;
  return static_cast<bool>(buffer);
}

int nextByte(LzssReader& reader, FileHandle* file) {
  if (reader.bytesLeft == 0) refill(reader, file);
  if (reader.bytesLeft == 0) return -1;
  --reader.bytesLeft;
  return *reader.readPointer++;
}

uint32_t lzssDecode(LzssReader& reader, FileHandle* file, uint8_t* out, uint32_t size) {
  size_t n = 0;
  while (n < size) {
    if (reader.bytesLeft < kMaxGroupInput) refill(reader, file);
    // Fast path: whole groups while each fits in both the input and the output.
    if (reader.bytesLeft >= kMaxGroupInput && size - n >= kMaxGroupOutput) {
      const uint8_t* in = reader.readPointer;
      const uint8_t* inLast = in + (reader.bytesLeft - kMaxGroupInput);
      size_t outLast = size - kMaxGroupOutput;
      while (in <= inLast && n <= outLast) n = decodeGroup(in, out, n);
      reader.bytesLeft -= static_cast<uint32_t>(in - reader.readPointer);
      reader.readPointer = in;
      continue;
    }
    // Near either end: byte by byte, stopping as soon as the output is complete.
    int flags = nextByte(reader, file);
    if (flags < 0) break;
    for (int bit = 0; bit < 8 && n < size; ++bit) {
      int b1 = nextByte(reader, file);
      if (b1 < 0) return static_cast<uint32_t>(n);
      if ((flags & (1 << bit)) != 0) {
        out[n++] = static_cast<uint8_t>(b1);
        continue;
      }
      int b2 = nextByte(reader, file);
      if (b2 < 0) return static_cast<uint32_t>(n);
      uint32_t position = static_cast<uint32_t>(b1) | ((static_cast<uint32_t>(b2) & 0xF0) << 4);
      uint32_t length = (static_cast<uint32_t>(b2) & 0x0F) + 3;
      length = static_cast<uint32_t>(std::min<size_t>(length, size - n));
      copyMatchCareful(out, n, matchDistance(n, position), length);
      n += length;
    }
  }
  return static_cast<uint32_t>(n);
}

}  // namespace quorvel
