// ArchiveReader: the reader of archives (extension "a"). It lists the members, finds one by name
// and delivers one member's bytes: stored as they are, LZSS-decompressed (optionally followed by
// the pixel delta step), or, for sounds, as a RIFF WAVE file built from the sound header.
// Every call opens the archive by path and keeps nothing open or allocated afterwards.
#pragma once

#include <string>
#include <vector>

#include "archive/file_entry.h"
#include "decoders/result_code.h"
#include "platform/owned_bytes.h"

namespace quorvel {

class ArchiveReader {
 public:
  // One entry per record of the directory, in its order (emptied first). OutOfMemory when the
  // list cannot be held.
  ResultCode getArchiveInfo(const char* archivePath, uint32_t archiveStart,
                            std::vector<FileEntry>& list);
  // flags: low byte not 0 compares names without regard to case. The first match wins.
  ResultCode getFileInfo(const char* archivePath, uint32_t archiveStart, const char* memberName,
                         uint32_t flags, FileEntry* entryOut);
  // Delivers the member whose directory record lies at recordPosition: bytes holds exactly size
  // bytes. On failure bytes is null and size 0.
  ResultCode getFile(const char* archivePath, uint32_t recordPosition, OwnedBytes& bytes,
                     size_t& size);
  // Writes that member into the folder under its own name.
  ResultCode getFile(const char* archivePath, uint32_t recordPosition, const char* folder);

 private:
  ResultCode readMemberBytes(const char* archivePath, uint32_t recordPosition, FileEntry& entry,
                             OwnedBytes& bytes, size_t& size);
};

// Why extraction would refuse each member of the archive (at the start of its file) before
// decoding it, found without decoding anything: its directory record or its data run past the end
// of the file, its sizes cannot be, it is empty. One text per member of the directory, empty for
// a member that lies whole inside the file; none when the archive cannot be read.
std::vector<std::string> memberLayoutProblems(const char* archivePath);

}  // namespace quorvel
