// Looking at folders: what a path names, and the entries of one folder. Used to walk the folders
// a batch is given; links (and on Windows reparse points) are told apart so that a walk never
// follows them.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

enum class PathKind { Missing, File, Folder, Link, Other };

// What the path names, a link itself when followLinks is false.
PathKind pathKind(const char* path, bool followLinks);

struct FolderEntry {
  std::string name;
  PathKind kind;  // File, Folder, Link or Other; links are not followed
};

// The entries of a folder without "." and "..", in no particular order; false when the folder
// cannot be read.
bool readFolder(const char* path, std::vector<FolderEntry>& entries);

}  // namespace quorvel
