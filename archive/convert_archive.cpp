#include "archive/convert_archive.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "archive/directory_record.h"
#include "archive/file_entry.h"
#include "archive/member_name.h"
#include "archive/spi_a.h"
#include "convert/convert_picture.h"
#include "platform/file_handle.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/pending_paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

constexpr uint32_t kProbeBytes = 2048;

// Reads the start of the file: ReadError when it cannot be opened or read, UnknownFormat when
// it holds no archive header.
ResultCode probeArchive(const char* archivePath) {
  uint8_t probe[kProbeBytes] = {};
  FileHandle file;
  if (file.openRead(archivePath, kFileShareRead, kOpenExisting, kFileAttributeNormal) ==
      kInvalidFile) {
    return ResultCode::ReadError;
  }
  uint32_t done = 0;
  if (file.read(probe, kProbeBytes, &done) == 0) return ResultCode::ReadError;
  return isArchiveHeader(probe) ? ResultCode::Success : ResultCode::UnknownFormat;
}

// The run's temporary folder, removed (on platforms where it is private to the run) on every
// way out of the conversion.
class TemporaryFolder {
 public:
  TemporaryFolder() : path_(temporaryFolder()) {}
  ~TemporaryFolder() {
    if (!path_.empty()) removeTemporaryFolder();
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

enum class MemberOutcome { Delivered, Failed, TemporaryWriteFailed };

// Writes the member's bytes to its temporary file; the file is removed again unless it was
// written whole.
bool writeTemporaryFile(const std::string& path, const uint8_t* bytes, size_t size) {
  FileHandle file;
  if (file.openWrite(path.c_str(), kFileShareDelete, kCreateAlways, kFileAttributeTemporary) ==
      kInvalidFile) {
    return false;
  }
  bool whole = true;
  while (whole && size > 0) {
    uint32_t chunk = size < 0x40000000u ? static_cast<uint32_t>(size) : 0x40000000u;
    uint32_t done = 0;
    whole = file.write(bytes, chunk, &done) != 0 && done == chunk;
    bytes += chunk;
    size -= chunk;
  }
  if (file.close() == 0) whole = false;
  if (!whole) deleteFile(path.c_str());
  return whole;
}

// Moves the temporary file into the output folder, or converts it there when it is a picture
// ("px", any case; a name without '.' is all extension). The temporary file is gone afterwards.
bool deliverMember(const char* cp932Name, const std::string& nativeName,
                   const std::string& temporaryPath, const std::string& folder,
                   const ConversionOptions& options) {
  if (!equalsIgnoreCase(pathExtension(cp932Name), "px")) {
    if (moveFileReplacing(temporaryPath.c_str(), (folder + nativeName).c_str())) return true;
    deleteFile(temporaryPath.c_str());
    return false;
  }
  // The pictures are named after the member without its extension.
  std::string base = nativeName;
  pathStripExtension(base.data());
  base = folder + base.c_str();
  ResultCode converted = convertPictureFile(base.c_str(), temporaryPath.c_str(), options);
  deleteFile(temporaryPath.c_str());
  return converted == ResultCode::Success;
}

MemberOutcome convertMember(SpiA& reader, const char* archivePath, const FileEntry& entry,
                            const std::string& nativeName, const std::string& temporaryFolder,
                            const std::string& outputFolder, const ConversionOptions& options) {
  // Checked whole, for this platform, before anything is written: a name that cannot become a
  // file of its own fails alone instead of ending the run at its temporary file.
  if (!isWritableMemberName(entry.fileName, nativeName)) return MemberOutcome::Failed;
  std::string temporaryPath = temporaryFolder + nativeName;
  // A path cut short would name another file: such a member is not written at all.
  if (!pathFits((outputFolder + nativeName).c_str()) || !pathFits(temporaryPath.c_str())) {
    return MemberOutcome::Failed;
  }

  MemHandle handle = nullptr;
  ResultCode result = reader.getFile(archivePath, entry.position, &handle, 1, nullptr, 0);
  MemoryBlock member;
  auto* bytes = static_cast<const uint8_t*>(member.attach(handle));
  if (result != ResultCode::Success || bytes == nullptr) return MemberOutcome::Failed;
  // The listed size, never more than the block holds.
  size_t size = std::min<size_t>(entry.fileSize, localSize(handle));
  // Until it is moved, converted or deleted, an interrupted run removes the temporary file (on
  // Windows it sits in the temporary folder that every program shares).
  PendingPath pending(temporaryPath.c_str(), PendingKind::File);
  if (!writeTemporaryFile(temporaryPath, bytes, size)) {
    return MemberOutcome::TemporaryWriteFailed;
  }
  member.free();
  return deliverMember(entry.fileName, nativeName, temporaryPath, outputFolder, options)
             ? MemberOutcome::Delivered
             : MemberOutcome::Failed;
}

// The output folder with a separator at its end, ready for member names.
std::string folderPrefix(const char* folder) {
  std::string prefix(folder);
  prefix.resize(prefix.size() + 2, '\0');
  pathAddSeparator(prefix.data());
  prefix.resize(std::char_traits<char>::length(prefix.c_str()));
  return prefix;
}

}  // namespace

ResultCode convertArchive(const char* outputFolder, const char* archivePath,
                          const ConversionOptions& options) {
  SpiA reader;
  ResultCode probed = probeArchive(archivePath);
  if (probed != ResultCode::Success) return probed;

  MemHandle listHandle = nullptr;
  ResultCode listed = reader.getArchiveInfo(archivePath, 0, &listHandle);
  if (listed != ResultCode::Success) return listed;
  MemoryBlock list;
  auto* entries = static_cast<const FileEntry*>(list.attach(listHandle));
  if (entries == nullptr) return ResultCode::LockFailed;

  std::string failures;
  TemporaryFolder temporary;
  if (temporary.path().empty() || !pathFits(temporary.path().c_str())) {
    return ResultCode::OtherError;
  }
  createDirectoryTree(outputFolder, 1);
  std::string folder = folderPrefix(outputFolder);
  writeOutput(std::string(pathFileName(archivePath)) + "\n");

  size_t failedCount = 0;
  int32_t i = 0;
  for (; entries[i].method[0] != 0; ++i) {
    const FileEntry& entry = entries[i];
    std::string nativeName = memberNameToNative(entry.fileName);
    writeOutput("\r\t" + std::to_string(i) + " " + nativeName);
    switch (
        convertMember(reader, archivePath, entry, nativeName, temporary.path(), folder, options)) {
      case MemberOutcome::Delivered:
        break;
      case MemberOutcome::Failed:
        failures += nativeName;
        failures += '\n';
        ++failedCount;
        break;
      case MemberOutcome::TemporaryWriteFailed:
        return ResultCode::WriteError;
    }
  }
  if (failedCount > 0) showFailureList(failures, failedCount, static_cast<size_t>(i));
  return ResultCode::Success;
}

}  // namespace quorvel
