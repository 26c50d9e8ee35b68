#include "pack/archive_builder.h"

#include <algorithm>
#include <cstring>

#include "archive/directory_record.h"
#include "decoders/bytes.h"

namespace quorvel {

bool fitsArchive(const std::vector<StoredMember>& members) {
  if (members.size() > UINT16_MAX) return false;
  uint64_t offset = 0;
  for (const StoredMember& member : members) {
    if (offset > UINT32_MAX || member.stored.size() > UINT32_MAX) return false;
    offset += member.stored.size();
  }
  return true;
}

std::vector<uint8_t> archiveDirectory(const std::vector<StoredMember>& members) {
  std::vector<uint8_t> out(kArchiveHeaderBytes + kDirectoryRecordBytes * members.size(), 0);
  storeU16(out.data(), kArchiveMagic);
  storeU16(out.data() + 2, static_cast<uint16_t>(members.size()));
  uint32_t offset = 0;
  uint8_t* record = out.data() + kArchiveHeaderBytes;
  for (const StoredMember& member : members) {
    std::memcpy(record, member.name.data(), std::min<size_t>(member.name.size(), kRecordNameBytes));
    record[kRecordNameBytes] = member.flags;
    storeU32(record + 24, static_cast<uint32_t>(member.stored.size()));
    storeU32(record + 28, offset);
    offset += static_cast<uint32_t>(member.stored.size());
    record += kDirectoryRecordBytes;
  }
  return out;
}

std::vector<uint8_t> buildArchive(const std::vector<StoredMember>& members) {
  std::vector<uint8_t> out = archiveDirectory(members);
  for (const StoredMember& member : members) {
    out.insert(out.end(), member.stored.begin(), member.stored.end());
  }
  return out;
}

}  // namespace quorvel
