#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/folders.h"

namespace quorvel {

namespace {

PathKind kindOf(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return PathKind::File;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  if (S_ISLNK(info.st_mode)) return PathKind::Link;
  return PathKind::Other;
}

}  // namespace

PathKind pathKind(const char* path, bool followLinks) {
  struct stat info;
  int answer = followLinks ? ::stat(path, &info) : ::lstat(path, &info);
  return answer == 0 ? kindOf(info) : PathKind::Missing;
}

bool readFolder(const char* path, std::vector<FolderEntry>& entries) {
  DIR* dir = ::opendir(path);
  if (dir == nullptr) return false;
  std::string prefix(path);
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    PathKind kind = pathKind((prefix + entry->d_name).c_str(), false);
    if (kind == PathKind::Missing) kind = PathKind::Other;  // gone meanwhile, or unreadable
    entries.push_back(FolderEntry{entry->d_name, kind});
  }
  ::closedir(dir);
  return true;
}

}  // namespace quorvel
