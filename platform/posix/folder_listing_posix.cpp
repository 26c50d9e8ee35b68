#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/folder_listing.h"

namespace quorvel {

PathKind pathKind(const char* path, bool followLinks) {
  struct stat info;
  if (!followLinks) {
    if (::lstat(path, &info) != 0) return PathKind::Missing;
    if (S_ISLNK(info.st_mode)) return PathKind::Link;
  } else if (::stat(path, &info) != 0) {
    // A link whose target is missing still exists: it is no file to read.
    return ::lstat(path, &info) == 0 ? PathKind::Other : PathKind::Missing;
  }
  if (S_ISREG(info.st_mode)) return PathKind::File;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

bool readFolder(const char* path, std::vector<FolderEntry>& entries, bool followLinks) {
  DIR* folder = ::opendir(path);
  if (folder == nullptr) return false;
  std::string prefix(path);
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  while (dirent* entry = ::readdir(folder)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    entries.push_back(
        FolderEntry{entry->d_name, pathKind((prefix + entry->d_name).c_str(), followLinks)});
  }
  ::closedir(folder);
  return true;
}

}  // namespace quorvel
