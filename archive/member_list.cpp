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
  ResultCode probed = probeArchive(archivePath);
  if (probed != ResultCode::Success) return probed;
  ArchiveReader reader;
  MemHandle handle = nullptr;
  ResultCode listed = reader.getArchiveInfo(archivePath, 0, &handle);
  if (listed != ResultCode::Success) return listed;
  entries_ = static_cast<const FileEntry*>(block_.attach(handle));
  if (entries_ == nullptr) return ResultCode::LockFailed;
  // The list ends with an all-zero record.
  while (entries_[count_].method[0] != 0) ++count_;
  return ResultCode::Success;
}

ResultCode readMember(const char* archivePath, const FileEntry& entry, MemberBytes& bytes) {
  bytes.data = nullptr;
  bytes.size = 0;
  ArchiveReader reader;
  MemHandle handle = nullptr;
  ResultCode result = reader.getFile(archivePath, entry.position, &handle, 1);
  auto* data = static_cast<const uint8_t*>(bytes.block.attach(handle));
  if (result != ResultCode::Success) return result;
  if (data == nullptr) return ResultCode::LockFailed;
  // A block may be larger than asked for (Windows rounds up).
  bytes.data = data;
  bytes.size = std::min<size_t>(entry.fileSize, localSize(handle));
  return ResultCode::Success;
}

}  // namespace quorvel
