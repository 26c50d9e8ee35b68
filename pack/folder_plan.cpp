#include "pack/folder_plan.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "archive/directory_record.h"
#include "archive/member_name.h"
#include "platform/ascii_case.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

bool refuse(std::string& problem, const std::string& path, const std::string& reason) {
  problem = path + ": " + reason;
  return false;
}

bool endsWith(const std::string& text, const char* suffix) {
  const std::string_view end(suffix);
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool hasExtension(const std::string& name, const char* extension) {
  return name.find('.') != std::string::npos &&
         equalsIgnoreCase(pathExtension(name.c_str()), extension);
}

// The name without its last extension, as extraction forms the names of a picture's outputs.
std::string stemOf(const std::string& name) {
  std::string stem = name;
  pathStripExtension(stem.data());
  return stem.c_str();
}

// The code page 932 bytes of a file name that extraction turns back into the same name. A name
// that is not code page 932 text is refused on every platform: its bytes would be taken for
// other characters by the game and by every other reader.
bool memberNameOf(const std::string& nativeName, std::string& cp932Name) {
  return nativeNameToMemberName(nativeName, cp932Name) &&
         memberNameToNative(cp932Name.c_str()) == nativeName;
}

// Letters in either case as one, outside the double-byte characters of code page 932.
std::string foldCase(const std::string& cp932Name) {
  std::string folded = cp932Name;
  for (size_t i = 0; i < folded.size(); ++i) {
    auto c = static_cast<unsigned char>(folded[i]);
    if (isSjisLeadByte(c)) {
      ++i;
    } else {
      folded[i] = lowerAscii(folded[i]);
    }
  }
  return folded;
}

// The names extraction writes for a member (without -stripPath).
std::vector<std::string> extractedNames(const PlannedMember& member) {
  const std::string& name = member.name;
  if (equalsIgnoreCase(pathExtension(name.c_str()), "px")) {
    const std::string stem = stemOf(name);
    switch (member.source) {
      case MemberSource::Picture:
        return {stem + ".bmp", stem + ".png"};
      case MemberSource::Series:
        return {stem};
      case MemberSource::File:  // a picture file given as it is: one picture or a series
        return {stem + ".bmp", stem + ".png", stem};
    }
  }
  if (endsWith(name, ".w")) return {name + "av"};
  return {name};
}

// The picture files of a series subfolder as extraction writes them: <folder>_0000.bmp,
// <folder>_0001.bmp, ... ("_%04d", .bmp or .png), numbered from 0 without a gap, and nothing
// else.
bool listSeries(const std::string& path, const std::string& folderName,
                std::vector<std::string>& images, std::string& problem) {
  std::vector<FolderEntry> entries;
  if (!readFolder(path.c_str(), entries)) return refuse(problem, path, "cannot be read");
  const std::string prefix = folderName + "_";
  images.assign(entries.size(), std::string());
  for (const FolderEntry& entry : entries) {
    const std::string& name = entry.name;
    size_t dot = name.rfind('.');
    bool named = entry.kind == PathKind::File && name.rfind(prefix, 0) == 0 &&
                 dot != std::string::npos && dot > prefix.size() &&
                 (name.compare(dot, std::string::npos, ".bmp") == 0 ||
                  name.compare(dot, std::string::npos, ".png") == 0);
    std::string digits = named ? name.substr(prefix.size(), dot - prefix.size()) : std::string();
    named = named && digits.size() <= 9 &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    size_t number = named ? std::stoul(digits) : 0;
    char expected[16];
    std::snprintf(expected, sizeof expected, "%04zu", number);
    if (!named || digits != expected || number >= images.size() || !images[number].empty()) {
      return refuse(problem, joinPath(path, name),
                    "a subfolder is packed only as a series of pictures named " + prefix +
                        "0000.bmp, " + prefix + "0001.bmp, ... (or .png), numbered from 0");
    }
    images[number] = joinPath(path, name);
  }
  if (images.size() == 1) {
    return refuse(problem, path,
                  "a series of one picture cannot be packed: extraction makes a single picture "
                  "of it, not a folder");
  }
  return true;
}

bool planEntry(const std::string& folder, const FolderEntry& entry, PlannedMember& member,
               std::string& problem) {
  member.path = joinPath(folder, entry.name);
  std::string cp932Name;
  if (!memberNameOf(entry.name, cp932Name)) {
    return refuse(problem, member.path, "the name does not convert to code page 932");
  }
  switch (entry.kind) {
    case PathKind::Folder:
      member.source = MemberSource::Series;
      member.name = cp932Name + ".px";
      if (!listSeries(member.path, entry.name, member.images, problem)) return false;
      break;
    case PathKind::File:
      if (hasExtension(entry.name, "bmp") || hasExtension(entry.name, "png")) {
        member.source = MemberSource::Picture;
        member.name = stemOf(cp932Name) + ".px";
      } else {
        member.source = MemberSource::File;
        member.name = cp932Name;
        // Extraction completes a name ending in ".w" to ".wav".
        if (endsWith(cp932Name, ".wav") && cp932Name.size() > kRecordNameBytes) {
          member.name.resize(member.name.size() - 2);
        }
      }
      break;
    default:
      return refuse(problem, member.path, "neither a file nor a folder");
  }
  if (member.name.size() > kRecordNameBytes) {
    return refuse(problem, member.path,
                  "the member name " + memberNameToNative(member.name.c_str()) +
                      " is longer than the 23 bytes an archive holds");
  }
  if (!isWritableMemberName(member.name.c_str(), memberNameToNative(member.name.c_str()))) {
    return refuse(problem, member.path, "extraction would refuse this member name");
  }
  return true;
}

// Two members of one name, or two that extraction would write under one name: true, with the
// message naming both.
bool findCollision(const std::vector<PlannedMember>& members, std::string& problem) {
  std::map<std::string, const PlannedMember*> names;
  std::map<std::string, const PlannedMember*> outputs;
  for (const PlannedMember& member : members) {
    auto [same, fresh] = names.emplace(foldCase(member.name), &member);
    if (!fresh) {
      problem = same->second->path + " and " + member.path + " would both become the member " +
                memberNameToNative(member.name.c_str());
      return true;
    }
    for (const std::string& output : extractedNames(member)) {
      auto [other, unique] = outputs.emplace(foldCase(output), &member);
      if (!unique) {
        problem = other->second->path + " and " + member.path + " would both be extracted as " +
                  memberNameToNative(output.c_str());
        return true;
      }
    }
  }
  return false;
}

}  // namespace

bool planFolder(const std::string& folder, std::vector<PlannedMember>& members,
                std::string& problem, bool& readable) {
  members.clear();
  std::vector<FolderEntry> entries;
  readable = readFolder(folder.c_str(), entries);
  if (!readable) return refuse(problem, folder, "cannot be read");
  for (const FolderEntry& entry : entries) {
    PlannedMember member;
    if (!planEntry(folder, entry, member, problem)) return false;
    members.push_back(std::move(member));
  }
  std::sort(members.begin(), members.end(),
            [](const PlannedMember& a, const PlannedMember& b) { return a.name < b.name; });
  if (findCollision(members, problem)) return false;
  if (members.empty()) return refuse(problem, folder, "holds nothing to pack");
  if (members.size() > 0xFFFF) {
    return refuse(problem, folder, "holds more than the 65535 members an archive can list");
  }
  return true;
}

}  // namespace quorvel
