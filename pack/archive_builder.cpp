#include "pack/archive_builder.h"

#include <algorithm>
#include <cstring>

#include "archive/directory_record.h"
#include "decoders/bytes.h"

namespace quorvel {

std::vector<MemberRecord> recordsOf(const std::vector<StoredMember>& members) {
  std::vector<MemberRecord> records;
  records.reserve(members.size());
  for (const StoredMember& member : members) {
    records.push_back(MemberRecord{member.name, member.flags, member.stored.size()});
  }
  return records;
}

bool fitsArchive(const std::vector<MemberRecord>& members) {
  if (members.size() > UINT16_MAX) return false;
  uint64_t offset = 0;
  for (const MemberRecord& member : members) {
    if (offset > UINT32_MAX || member.size > UINT32_MAX) return false;
    offset += member.size;
  }
  return true;
}

std::vector<uint8_t> archiveDirectory(const std::vector<MemberRecord>& members) {
  std::vector<uint8_t> out(kArchiveHeaderBytes + kDirectoryRecordBytes * members.size(), 0);
  storeU16(out.data(), kArchiveMagic);
  storeU16(out.data() + 2, static_cast<uint16_t>(members.size()));
  uint32_t offset = 0;
  uint8_t* record = out.data() + kArchiveHeaderBytes;
  for (const MemberRecord& member : members) {
    std::memcpy(record, member.name.data(), std::min<size_t>(member.name.size(), kRecordNameBytes));
    record[kRecordNameBytes] = member.flags;
    storeU32(record + 24, static_cast<uint32_t>(member.size));
    storeU32(record + 28, offset);
    offset += static_cast<uint32_t>(member.size);
    record += kDirectoryRecordBytes;
  }
  return out;
}

std::vector<uint8_t> buildArchive(const std::vector<StoredMember>& members) {
  std::vector<uint8_t> out = archiveDirectory(recordsOf(members));
  for (const StoredMember& member : members) {
    out.insert(out.end(), member.stored.begin(), member.stored.end());
  }
  return out;
}

}  // namespace quorvel
