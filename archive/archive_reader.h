// ArchiveReader: the reader of archives (extension "a"). It lists the members, finds one by name
// and delivers one member's bytes: stored as they are, LZSS-decompressed (optionally followed by
// the pixel delta step), or, for sounds, as a RIFF WAVE file built from the sound header.
// Every call opens the archive by path and keeps nothing open or allocated afterwards.
#pragma once

#include <string>
#include <vector>

#include "archive/file_entry.h"
#include "decoders/result_code.h"
#include "platform/memory.h"

namespace quorvel {

class ArchiveReader {
 public:
  // A movable, zero-filled block of (memberCount + 1) entries; the last one is all zero.
  ResultCode getArchiveInfo(const char* archivePath, uint32_t archiveStart, MemHandle* listOut);
  // flags: low byte not 0 compares names without regard to case. The first match wins.
  ResultCode getFileInfo(const char* archivePath, uint32_t archiveStart, const char* memberName,
                         uint32_t flags, FileEntry* entryOut);
  // flags: low byte not 0 delivers a movable block of exactly the member's size into the
  // MemHandle that destination points to; 0 writes the member into the folder destination.
  ResultCode getFile(const char* archivePath, uint32_t recordPosition, void* destination,
                     uint32_t flags);
};

// Why extraction would refuse each member of the archive (at the start of its file) before
// decoding it, found without decoding anything: its directory record or its data run past the end
// of the file, its sizes cannot be, it is empty. One text per member of the directory, empty for
// a member that lies whole inside the file; none when the archive cannot be read.
std::vector<std::string> memberLayoutProblems(const char* archivePath);

}  // namespace quorvel
