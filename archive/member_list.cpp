#include "archive/member_list.h"

#include <algorithm>

#include "archive/archive_reader.h"
#include "archive/directory_record.h"
#include "platform/file_handle.h"

namespace quorvel {

namespace {

constexpr uint32_t kProbeBytes = 2048;

// Reads the start of the file: ReadError when it cannot be opened or read, UnknownFormat when
// it holds no archive header.
ResultCode probeArchive(const char* archivePath) {
  uint8_t probe[kProbeBytes] = {};
  FileHandle file;
  size_t done = 0;
  if (!file.openRead(archivePath) || !file.read(probe, kProbeBytes, done)) {
    return ResultCode::ReadError;
  }
  return isArchiveHeader(probe) ? ResultCode::Success : ResultCode::UnknownFormat;
}

}  // namespace

ResultCode MemberList::read(const char* archivePath) {
  entries_.clear();
  ResultCode probed = probeArchive(archivePath);
  if (probed != ResultCode::Success) return probed;
  ArchiveReader reader;
  return reader.getArchiveInfo(archivePath, 0, entries_);
}

ResultCode readMember(const char* archivePath, const FileEntry& entry, MemberBytes& bytes) {
  bytes.data = nullptr;
  bytes.size = 0;
  ArchiveReader reader;
  size_t delivered = 0;
  ResultCode result = reader.getFile(archivePath, entry.position, bytes.block, delivered);
  if (result != ResultCode::Success) return result;
  bytes.data = bytes.block.get();
  bytes.size = std::min<size_t>(entry.fileSize, delivered);
  return ResultCode::Success;
}

}  // namespace quorvel
