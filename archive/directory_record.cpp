#include "archive/directory_record.h"

#include <cstring>

#include "decoders/bytes.h"

namespace quorvel {

namespace {

bool endsWith(const char* name, size_t length, const char* suffix, size_t suffixLength) {
  return length >= suffixLength &&
         std::memcmp(name + length - suffixLength, suffix, suffixLength) == 0;
}

}  // namespace

bool isWaveName(const char* name) {
  size_t length = std::strlen(name);
  return endsWith(name, length, ".wav", 4) || endsWith(name, length, ".w", 2);
}

bool isArchiveHeader(const uint8_t* firstBytes) {
  return loadU16(firstBytes) == kArchiveMagic && loadU16(firstBytes + 2) != 0;
}

uint32_t readDirectoryRecord(const uint8_t* record, FileEntry& entry, uint32_t& dataOffset) {
  size_t length = 0;
  while (length < kRecordNameBytes && record[length] != 0) ++length;
  std::memcpy(entry.fileName, record, length);
  entry.fileName[length] = '\0';

  uint8_t flags = record[kRecordNameBytes];
  uint32_t storedSize = loadU32(record + 24);
  dataOffset = loadU32(record + 28);

  entry.method[0] = kMethodArchive;
  entry.method[1] = 0;
  entry.method[2] = flags;
  entry.compressedSize = storedSize;
  entry.timestamp = 0;
  entry.path[0] = '\0';
  entry.crc = 0;

  // Sound members are recognised by name alone (lower case, byte for byte); the 18-byte sound
  // header grows into a 44-byte WAVE header. For a compressed member the size is replaced by
  // the unpacked size later.
  if (endsWith(entry.fileName, length, ".wav", 4)) {
    entry.method[3] = kMethodWave;
    entry.fileSize = storedSize + (kWaveHeaderBytes - kSoundHeaderBytes);
  } else if (endsWith(entry.fileName, length, ".w", 2)) {
    entry.method[3] = kMethodWave;
    std::memcpy(entry.fileName + length, "av", 3);
    entry.fileSize = storedSize + (kWaveHeaderBytes - kSoundHeaderBytes);
  } else {
    entry.fileSize = storedSize;
  }
  return kDirectoryRecordBytes;
}

}  // namespace quorvel
