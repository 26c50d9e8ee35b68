// The archive file as the reader (archive/archive_reader.h) lists it: magic 0xAF1E, the member
// count, one 32-byte directory record per member (name, flags, stored size, data offset), then the
// members' stored bytes back to back in directory order, the first at data offset 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// One member as it lies in an archive.
struct StoredMember {
  std::string name;   // code page 932 bytes; the directory holds at most 23 of them
  uint8_t flags = 0;  // 0 plain (or a wave, by its name); else LZSS, bit 7 the pixel delta
  std::vector<uint8_t> stored;
};

// What the directory holds of a member: its name, flags and the size of its stored bytes.
struct MemberRecord {
  std::string name;
  uint8_t flags = 0;
  uint64_t size = 0;
};
std::vector<MemberRecord> recordsOf(const std::vector<StoredMember>& members);

// A count of members the directory can hold, and data offsets within 32 bits for every member.
bool fitsArchive(const std::vector<MemberRecord>& members);
inline bool fitsArchive(const std::vector<StoredMember>& members) {
  return fitsArchive(recordsOf(members));
}

// The header and the directory; the members' stored bytes follow them in the same order.
// Names longer than 23 bytes are cut there (the packer never makes one).
std::vector<uint8_t> archiveDirectory(const std::vector<MemberRecord>& members);

// The whole archive: the directory, then every member's stored bytes.
std::vector<uint8_t> buildArchive(const std::vector<StoredMember>& members);

}  // namespace quorvel
