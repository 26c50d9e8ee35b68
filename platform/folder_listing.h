// What a path names, and the entries of a folder, for the packer and the batch that walk folders
// given by the user. Paths and names are the program's (UTF-8; on POSIX the file system's bytes
// as they are). Links (on Windows reparse points) are followed unless followLinks is false; then
// they are told apart, so that a walk need not enter them.
#pragma once

#include <string>
#include <vector>

#include "platform/paths.h"

namespace quorvel {

enum class PathKind { Missing, File, Folder, Link, Other };

// Following links, a link to a regular file is a File; Link only when links are not followed.
// Other: devices, pipes, sockets, links that lead nowhere.
PathKind pathKind(const char* path, bool followLinks = true);

struct FolderEntry {
  std::string name;
  PathKind kind = PathKind::Other;
};

// The entries directly in a folder, without "." and "..", in no particular order. False when the
// folder cannot be read.
bool readFolder(const char* path, std::vector<FolderEntry>& entries, bool followLinks = true);

// The folder and a name in it, joined with the platform's separator unless the folder is empty
// or ends in a separator already.
inline std::string joinPath(const std::string& folder, const std::string& name) {
  bool separated = !folder.empty() && (folder.back() == kNativePaths.separator ||
                                       (kNativePaths.slashToo && folder.back() == '/'));
  if (folder.empty() || separated) return folder + name;
  return folder + kNativePaths.separator + name;
}

}  // namespace quorvel
