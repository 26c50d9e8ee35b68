#include "archive/archive_listing.h"

#include "archive/archive_reader.h"
#include "archive/member_list.h"
#include "archive/member_name.h"
#include "platform/system.h"

namespace quorvel {

namespace {

constexpr uint8_t kPixelDeltaFlag = 0x80;
constexpr uint8_t kDeltaBiasBits = 0x03;

MemberListing describeMember(const FileEntry& entry) {
  MemberListing member;
  member.name = memberNameToNative(entry.fileName);
  member.size = entry.fileSize;
  member.storedSize = entry.compressedSize;
  uint8_t flags = entry.method[2];
  if (flags != 0) {
    // Any flags make the member compressed, a wave name or not.
    bool delta = (flags & kPixelDeltaFlag) != 0;
    member.storage = delta ? MemberStorage::LzssPixelDelta : MemberStorage::Lzss;
    member.deltaBias = delta ? static_cast<uint8_t>(flags & kDeltaBiasBits) : 0;
  } else if (entry.method[3] == kMethodWave) {
    member.storage = MemberStorage::Wave;
  }
  return member;
}

}  // namespace

ResultCode listArchive(const char* archivePath, const NamePatterns& only,
                       std::vector<MemberListing>& members) {
  MemberList list;
  ResultCode listed = list.read(archivePath);
  if (listed != ResultCode::Success) return listed;
  std::vector<std::string> problems = memberLayoutProblems(archivePath);
  for (size_t i = 0; i < list.count(); ++i) {
    MemberListing member = describeMember(list[i]);
    if (!only.matches(member.name)) continue;
    member.index = static_cast<uint32_t>(i);
    if (i < problems.size()) member.damage = problems[i];
    const char* nameProblem = memberNameProblem(list[i].fileName, member.name);
    if (member.damage.empty() && nameProblem != nullptr) {
      member.damage = std::string("name refused: ") + nameProblem;
    }
    members.push_back(std::move(member));
  }
  return ResultCode::Success;
}

const char* storageName(MemberStorage storage) {
  switch (storage) {
    case MemberStorage::Plain:
      return "plain";
    case MemberStorage::Lzss:
      return "LZSS";
    case MemberStorage::LzssPixelDelta:
      return "LZSS + pixel delta";
    case MemberStorage::Wave:
      return "wave";
  }
  return "";
}

}  // namespace quorvel
