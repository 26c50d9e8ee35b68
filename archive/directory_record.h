// The archive header and the 32-byte directory records that follow it.
//
// File layout: magic 0xAF1E (16 bits), member count (16 bits), one record per member, then the
// data area. A record: name (23 bytes, 0-terminated when shorter), flags (0 plain, else LZSS;
// bit 7 pixel delta, bits 0-1 its bias), stored size (32 bits), data offset from the start of
// the data area (32 bits).
#pragma once

#include <cstdint>

#include "archive/file_entry.h"

namespace quorvel {

constexpr uint16_t kArchiveMagic = 0xAF1E;
constexpr uint32_t kArchiveHeaderBytes = 4;
constexpr uint32_t kDirectoryRecordBytes = 32;
constexpr uint32_t kRecordNameBytes = 23;
constexpr uint8_t kFlagPixelDelta = 0x80;
constexpr uint8_t kFlagBiasMask = 0x03;
// A wave member's 18-byte sound header becomes a 44-byte WAVE header.
constexpr uint32_t kSoundHeaderBytes = 18;
constexpr uint32_t kWaveHeaderBytes = 44;

// True when the first four bytes hold the magic and a member count that is not 0.
bool isArchiveHeader(const uint8_t* firstBytes);

// Sound members are recognised by name alone: ".wav" or ".w" at the end, lower case, byte for
// byte.
bool isWaveName(const char* name);

// Fills a zero-filled entry from the 32 bytes of one record and hands back its data offset;
// returns 32, the bytes consumed. A name ending in ".w" is completed to ".wav".
uint32_t readDirectoryRecord(const uint8_t* record, FileEntry& entry, uint32_t& dataOffset);

}  // namespace quorvel
