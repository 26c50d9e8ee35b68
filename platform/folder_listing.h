// What a path names, and the entries of a folder, for the packer that walks a folder given by the
// user. Paths and names are the program's (UTF-8; on POSIX the file system's bytes as they are).
#pragma once

#include <string>
#include <vector>

namespace quorvel {

enum class PathKind { Missing, File, Folder, Other };

// Follows symbolic links: a link to a regular file is a File. Other: devices, pipes, sockets,
// links that lead nowhere.
PathKind pathKind(const char* path);

struct FolderEntry {
  std::string name;
  PathKind kind = PathKind::Other;
};

// The entries directly in a folder, without "." and "..", in no particular order. False when the
// folder cannot be read.
bool readFolder(const char* path, std::vector<FolderEntry>& entries);

}  // namespace quorvel
