// Paths and switches on POSIX systems, and in the browser build, whose files in memory take the
// same paths: '/' separates folders, a path holds up to 4095 bytes, switches start with '-'.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

const PathFlavour kNativePaths = kPosixPaths;
const size_t kPathCapacity = 4096;
const char kSwitchChar = '-';
const size_t kPathBufferBytes = 4096;

size_t pathUnits(const char* path) {
  return std::strlen(path);
}

std::string fullPath(const char* path) {
  char* resolved = realpath(path, nullptr);
  if (resolved == nullptr) return std::string();
  std::string full(resolved);
  std::free(resolved);
  return full;
}

}  // namespace quorvel
