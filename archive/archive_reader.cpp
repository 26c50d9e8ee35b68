#include "archive/archive_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "archive/directory_record.h"
#include "archive/lzss.h"
#include "archive/member_name.h"
#include "archive/pixel_delta.h"
#include "archive/wave_header.h"
#include "decoders/bytes.h"
#include "platform/file_handle.h"
#include "platform/output_file.h"
#include "platform/owned_bytes.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

// Bytes a compressed member keeps in front of its stream: the unpacked size.
constexpr uint32_t kUnpackedSizeBytes = 4;

bool openArchive(FileHandle& file, const char* path) {
  return file.openRead(path);
}

// The file's length; 0 when it cannot be told.
uint64_t fileLength(FileHandle& file) {
  uint64_t length = 0;
  return file.size(length) ? length : 0;
}

// The directory of an archive, read at once: the member count and the records that lie whole
// inside the file (a short directory simply holds fewer).
struct Directory {
  uint32_t memberCount = 0;
  uint64_t dataStart = 0;  // file position of the data area
  std::vector<uint8_t> records;

  bool hasRecord(uint32_t index) const {
    return (static_cast<uint64_t>(index) + 1) * kDirectoryRecordBytes <= records.size();
  }
  const uint8_t* record(uint32_t index) const {
    return records.data() + static_cast<size_t>(index) * kDirectoryRecordBytes;
  }
};

bool readDirectory(FileHandle& file, uint64_t archiveStart, Directory& directory) {
  uint8_t count[2];
  if (!readAt(file, archiveStart + 2, count, 2)) return false;
  directory.memberCount = loadU16(count);
  uint64_t recordsStart = archiveStart + kArchiveHeaderBytes;
  directory.dataStart = recordsStart + uint64_t{kDirectoryRecordBytes} * directory.memberCount;
  // Entry positions are 32-bit: an archive placed too far into its file cannot be described.
  if (directory.dataStart > UINT32_MAX) return false;
  uint64_t length = fileLength(file);
  uint64_t wanted = directory.dataStart - recordsStart;
  uint64_t present = length > recordsStart ? std::min(wanted, length - recordsStart) : 0;
  present -= present % kDirectoryRecordBytes;
  directory.records.resize(static_cast<size_t>(present));
  return present == 0 ||
         readAt(file, recordsStart, directory.records.data(), static_cast<uint32_t>(present));
}

// Fills a zero-filled entry for member index; a record missing from a short directory leaves a
// nameless entry whose record getFile will fail to read.
void describeMember(const Directory& directory, uint64_t archiveStart, uint32_t index,
                    FileEntry& entry, uint32_t& dataOffset) {
  dataOffset = 0;
  if (directory.hasRecord(index)) {
    readDirectoryRecord(directory.record(index), entry, dataOffset);
  } else {
    entry.method[0] = kMethodArchive;
  }
  entry.position = static_cast<uint32_t>(archiveStart + kArchiveHeaderBytes +
                                         uint64_t{kDirectoryRecordBytes} * index);
}

// Replaces a compressed member's listed size with the unpacked size stored in front of its
// stream; left as it is when those bytes are not in the file.
void readUnpackedSize(FileHandle& file, uint64_t position, FileEntry& entry) {
  uint8_t size[kUnpackedSizeBytes];
  if (entry.method[2] != 0 && readAt(file, position, size, sizeof size)) {
    entry.fileSize = loadU32(size);
  }
}

bool namesEqual(const char* a, const char* b, bool ignoreCase) {
  return ignoreCase ? equalsIgnoreCase(a, b) : std::strcmp(a, b) == 0;
}

// Where and how one member lies, checked against the file: every byte it needs is inside.
struct MemberLayout {
  uint64_t dataPosition = 0;  // first stored byte
  uint64_t deliveredSize = 0;
  uint64_t streamBytes = 0;  // compressed members: the LZSS stream's bytes
};

// The bytes from..to of the file, as a reason names them.
std::string byteRange(uint64_t from, uint64_t count) {
  return "bytes " + std::to_string(from) + " to " + std::to_string(from + count);
}

// Checks the member against the file (length bytes long); why it cannot be delivered goes into
// why when given. The compressed size in front of a stream is read, nothing is decoded.
ResultCode locateMember(FileHandle& file, uint64_t length, const FileEntry& entry,
                        uint64_t dataStart, uint32_t dataOffset, MemberLayout& layout,
                        std::string* why = nullptr) {
  auto refuse = [&](std::string reason) {
    if (why != nullptr) *why = std::move(reason);
    return ResultCode::ReadError;
  };
  uint64_t stored = entry.compressedSize;
  layout.dataPosition = dataStart + dataOffset;
  if (layout.dataPosition > length || stored > length - layout.dataPosition) {
    return refuse("cut short: its data (" + byteRange(layout.dataPosition, stored) +
                  ") run past the end of the archive (" + std::to_string(length) + " bytes)");
  }
  if (entry.method[2] != 0) {
    uint8_t size[kUnpackedSizeBytes];
    if (stored < kUnpackedSizeBytes) {
      return refuse("damaged: its compressed data (" + std::to_string(stored) +
                    " bytes) are too short to hold their unpacked size");
    }
    if (!readAt(file, layout.dataPosition, size, sizeof size))
      return refuse("cannot read the archive");
    layout.deliveredSize = loadU32(size);
    layout.streamBytes = stored - kUnpackedSizeBytes;
    // No stream this short can produce that much: damaged, without trying to allocate it.
    if (layout.deliveredSize > layout.streamBytes * kLzssMaxExpansion) {
      return refuse("damaged: its unpacked size " + std::to_string(layout.deliveredSize) +
                    " cannot come from " + std::to_string(layout.streamBytes) +
                    " bytes of compressed data");
    }
  } else if (entry.method[3] == kMethodWave) {
    if (stored < kSoundHeaderBytes) {
      return refuse("damaged: its sound data (" + std::to_string(stored) +
                    " bytes) are shorter than the " + std::to_string(kSoundHeaderBytes) +
                    "-byte sound header");
    }
    layout.deliveredSize = stored - kSoundHeaderBytes + kWaveHeaderBytes;
    if (layout.deliveredSize > UINT32_MAX) return refuse("damaged: its sound data are too large");
  } else {
    layout.deliveredSize = stored;
  }
  // An empty member is never handed out.
  if (layout.deliveredSize == 0) {
    if (why != nullptr) *why = "the member is empty";
    return ResultCode::OutOfMemory;
  }
  return ResultCode::Success;
}

// Fills the block with the member; returns the number of bytes delivered.
uint64_t fillMember(FileHandle& file, const FileEntry& entry, const MemberLayout& layout,
                    uint8_t* block, bool& outOfMemory) {
  uint32_t size = static_cast<uint32_t>(layout.deliveredSize);
  uint8_t flags = entry.method[2];
  size_t done = 0;
  if (flags != 0) {
    LzssReader reader;
    if (!seekTo(file, layout.dataPosition + kUnpackedSizeBytes)) return 0;
    if (!reader.attachFile(layout.streamBytes)) {
      outOfMemory = true;
      return 0;
    }
    uint32_t n = lzssDecode(reader, &file, block, size);
    // The first 32 bytes (the picture header) are not part of the delta.
    if (n == size && (flags & kFlagPixelDelta) != 0 && size > 32) {
      undoPixelDelta(block + 32, size - 32, flags & kFlagBiasMask);
    }
    return n;
  }
  if (entry.method[3] == kMethodWave) {
    uint8_t sound[kSoundHeaderBytes];
    if (!readAt(file, layout.dataPosition, sound, sizeof sound)) return 0;
    buildWaveHeader(block, sound);
    if (!file.read(block + kWaveHeaderBytes, size - kWaveHeaderBytes, done)) return 0;
    return uint64_t{done} + kWaveHeaderBytes;
  }
  if (!seekTo(file, layout.dataPosition) || !file.read(block, size, done)) return 0;
  return done;
}

// To-folder delivery: the member's file in the folder, written whole or not at all.
ResultCode writeMemberFile(const char* folder, const FileEntry& entry, const uint8_t* bytes,
                           uint32_t size) {
  std::string name = memberNameToNative(entry.fileName);
  if (!isWritableMemberName(entry.fileName, name)) return ResultCode::WriteError;
  std::string path(folder);
  path.resize(path.size() + 2, '\0');
  pathAddSeparator(path.data());
  path.resize(std::strlen(path.c_str()));
  path += name;
  if (!pathFits(path.c_str())) return ResultCode::WriteError;
  OutputFile out;
  if (!out.create(path.c_str()) || !out.write(bytes, size) || !out.commit()) {
    return ResultCode::WriteError;
  }
  return ResultCode::Success;
}

// Why the member of this directory cannot be extracted as it lies, or empty.
std::string layoutProblem(FileHandle& file, uint64_t length, const Directory& directory,
                          uint64_t archiveStart, uint32_t index) {
  if (!directory.hasRecord(index)) {
    uint64_t at = archiveStart + kArchiveHeaderBytes + uint64_t{kDirectoryRecordBytes} * index;
    return "cut short: its directory record (" + byteRange(at, kDirectoryRecordBytes) +
           ") lies past the end of the archive (" + std::to_string(length) + " bytes)";
  }
  FileEntry entry{};
  uint32_t dataOffset = 0;
  readDirectoryRecord(directory.record(index), entry, dataOffset);
  MemberLayout layout;
  std::string why;
  locateMember(file, length, entry, directory.dataStart, dataOffset, layout, &why);
  return why;
}

}  // namespace

std::vector<std::string> memberLayoutProblems(const char* archivePath) {
  FileHandle file;
  Directory directory;
  if (!openArchive(file, archivePath) || !readDirectory(file, 0, directory)) return {};
  uint64_t length = fileLength(file);
  std::vector<std::string> problems(directory.memberCount);
  for (uint32_t i = 0; i < directory.memberCount; ++i) {
    problems[i] = layoutProblem(file, length, directory, 0, i);
  }
  return problems;
}

ResultCode ArchiveReader::getArchiveInfo(const char* archivePath, uint32_t archiveStart,
                                         std::vector<FileEntry>& list) {
  list.clear();
  FileHandle file;
  if (!openArchive(file, archivePath)) return ResultCode::ReadError;
  Directory directory;
  if (!readDirectory(file, archiveStart, directory)) return ResultCode::ReadError;

  std::vector<FileEntry> entries;
  try {
    entries.resize(directory.memberCount);  // value-initialised: every byte 0
  } catch (const std::bad_alloc&) {
    return ResultCode::OutOfMemory;
  }
  for (uint32_t i = 0; i < directory.memberCount; ++i) {
    uint32_t dataOffset = 0;
    describeMember(directory, archiveStart, i, entries[i], dataOffset);
    // The unpacked size is read where getFile will find the member, by its data offset, so
    // that the list and the delivered bytes agree even when members do not lie back to back.
    readUnpackedSize(file, directory.dataStart + dataOffset, entries[i]);
  }
  list = std::move(entries);
  return ResultCode::Success;
}

ResultCode ArchiveReader::getFileInfo(const char* archivePath, uint32_t archiveStart,
                                      const char* memberName, uint32_t flags, FileEntry* entryOut) {
  bool ignoreCase = static_cast<uint8_t>(flags) != 0;
  FileHandle file;
  if (!openArchive(file, archivePath)) return ResultCode::ReadError;
  Directory directory;
  if (!readDirectory(file, archiveStart, directory)) return ResultCode::ReadError;
  for (uint32_t i = 0; i < directory.memberCount && directory.hasRecord(i); ++i) {
    FileEntry entry{};
    uint32_t dataOffset = 0;
    describeMember(directory, archiveStart, i, entry, dataOffset);
    if (!namesEqual(entry.fileName, memberName, ignoreCase)) continue;
    readUnpackedSize(file, directory.dataStart + dataOffset, entry);
    std::memcpy(entryOut, &entry, sizeof entry);
    return ResultCode::Success;
  }
  return ResultCode::UnknownFormat;
}

// Reads and unpacks the member whose directory record lies at recordPosition into bytes
// (zero-filled first, exactly the delivered size); the entry is the record as read.
ResultCode ArchiveReader::readMemberBytes(const char* archivePath, uint32_t recordPosition,
                                          FileEntry& entry, OwnedBytes& bytes, size_t& size) {
  bytes.reset();
  size = 0;
  FileHandle file;
  if (!openArchive(file, archivePath)) return ResultCode::ReadError;
  // Positions count from the start of the file.
  uint8_t count[2];
  uint8_t record[kDirectoryRecordBytes];
  if (!readAt(file, 2, count, sizeof count) ||
      !readAt(file, recordPosition, record, sizeof record)) {
    return ResultCode::ReadError;
  }
  entry = FileEntry{};
  uint32_t dataOffset = 0;
  readDirectoryRecord(record, entry, dataOffset);
  uint64_t dataStart = kArchiveHeaderBytes + uint64_t{kDirectoryRecordBytes} * loadU16(count);

  MemberLayout layout;
  ResultCode located = locateMember(file, fileLength(file), entry, dataStart, dataOffset, layout);
  if (located != ResultCode::Success) return located;

  OwnedBytes block = allocateBytes(static_cast<size_t>(layout.deliveredSize), ByteFill::Zeroed);
  if (block == nullptr) return ResultCode::OutOfMemory;
  bool outOfMemory = false;
  uint64_t delivered = fillMember(file, entry, layout, block.get(), outOfMemory);
  if (outOfMemory) return ResultCode::OutOfMemory;
  if (delivered != layout.deliveredSize) return ResultCode::ReadError;
  bytes = std::move(block);
  size = static_cast<size_t>(delivered);
  return ResultCode::Success;
}

ResultCode ArchiveReader::getFile(const char* archivePath, uint32_t recordPosition,
                                  OwnedBytes& bytes, size_t& size) {
  FileEntry entry{};
  return readMemberBytes(archivePath, recordPosition, entry, bytes, size);
}

ResultCode ArchiveReader::getFile(const char* archivePath, uint32_t recordPosition,
                                  const char* folder) {
  FileEntry entry{};
  OwnedBytes bytes;
  size_t size = 0;
  ResultCode read = readMemberBytes(archivePath, recordPosition, entry, bytes, size);
  if (read != ResultCode::Success) return read;
  return writeMemberFile(folder, entry, bytes.get(), static_cast<uint32_t>(size));
}

}  // namespace quorvel
