// One archive member as the reader describes it: 428 bytes, little-endian, walked by consumers
// with a stride of 428, so the layout is part of the interface.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace quorvel {

#pragma pack(push, 1)
struct FileEntry {
  // Byte 0 'A', byte 1 0, byte 2 the directory flags, byte 3 'W' for a wave name, bytes 4-7 0.
  uint8_t method[8];
  uint32_t position;        // file position of the member's directory record
  uint32_t compressedSize;  // the stored size
  uint32_t fileSize;        // the size getFile delivers
  uint32_t timestamp;
  char path[200];
  char fileName[200];
  uint32_t crc;
};
#pragma pack(pop)

static_assert(sizeof(FileEntry) == 428);
static_assert(offsetof(FileEntry, method) == 0);
static_assert(offsetof(FileEntry, position) == 8);
static_assert(offsetof(FileEntry, compressedSize) == 12);
static_assert(offsetof(FileEntry, fileSize) == 16);
static_assert(offsetof(FileEntry, timestamp) == 20);
static_assert(offsetof(FileEntry, path) == 24);
static_assert(offsetof(FileEntry, fileName) == 224);
static_assert(offsetof(FileEntry, crc) == 424);
// The record is handed out as raw bytes; its integer fields are little-endian.
static_assert(std::endian::native == std::endian::little);

constexpr uint8_t kMethodArchive = 'A';
constexpr uint8_t kMethodWave = 'W';

}  // namespace quorvel
