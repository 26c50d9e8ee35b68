#include "platform/paths.h"

#include <cstring>
#include <string>

#include "platform/ascii_case.h"
#include "platform/system.h"

namespace quorvel {

bool isSjisLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

namespace {

// Calls visit(address) for every byte of the path that is a separator, skipping the second byte
// of double-byte characters in the flavours that know them.
template <typename Visit>
void forEachSeparator(const char* path, const PathFlavour& flavour, Visit visit) {
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == flavour.separator || (flavour.slashSplits && *p == '/')) {
      visit(p);
    } else if (flavour.sjisAware && isSjisLeadByte(static_cast<unsigned char>(*p))) {
      if (p[1] == '\0') break;
      ++p;
    }
  }
}

}  // namespace

const char* pathFileName(const char* path, const PathFlavour& flavour) {
  const char* result = path;
  forEachSeparator(path, flavour, [&](const char* sep) { result = sep + 1; });
  return result;
}

char* pathFileName(char* path, const PathFlavour& flavour) {
  return const_cast<char*>(pathFileName(static_cast<const char*>(path), flavour));
}

namespace {

// The last separator that has at least one byte behind it, or null.
char* lastInnerSeparator(char* path, const PathFlavour& flavour) {
  const char* cut = nullptr;
  forEachSeparator(path, flavour, [&](const char* sep) {
    if (sep[1] != '\0') cut = sep;
  });
  return cut == nullptr ? nullptr : path + (cut - path);
}

}  // namespace

char* pathCutLastComponent(char* path, const PathFlavour& flavour) {
  char* cut = lastInnerSeparator(path, flavour);
  if (cut != nullptr) *cut = '\0';
  return cut;
}

const char* pathExtension(const char* path) {
  const char* dot = std::strrchr(path, '.');
  return dot == nullptr ? path : dot + 1;
}

char* pathExtension(char* path) {
  char* dot = std::strrchr(path, '.');
  return dot == nullptr ? path : dot + 1;
}

void pathStripExtension(char* path) {
  char* dot = std::strrchr(path, '.');
  if (dot != nullptr) *dot = '\0';
}

size_t pathAddSeparator(char* path, const PathFlavour& flavour) {
  size_t n = std::strlen(path);
  if (n == 0) return 0;
  char last = path[n - 1];
  if (last == flavour.separator || (flavour.slashToo && last == '/')) return n;
  path[n] = flavour.separator;
  path[n + 1] = '\0';
  return n + 1;
}

void copyTruncated(char* destination, const char* source, size_t count) {
  if (count == 0) return;
  size_t n = 0;
  while (n + 1 < count && source[n] != '\0') {
    destination[n] = source[n];
    ++n;
  }
  destination[n] = '\0';
}

void pathAppend(char* buffer, const char* name, size_t capacity, const PathFlavour& flavour) {
  if (capacity == 0 || std::strlen(buffer) >= capacity - 1) return;
  size_t n = pathAddSeparator(buffer, flavour);
  copyTruncated(buffer + n, name, capacity - n);
}

bool equalsIgnoreCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (lowerAscii(*a) != lowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

bool createDirectoryPath(char* path) {
  switch (createDirectory(path)) {
    case DirectoryResult::Created:
    case DirectoryResult::AlreadyExists:
      return true;
    case DirectoryResult::OtherError:
      return false;
    case DirectoryResult::PathNotFound:
      break;
  }
  // The separator goes back as it was typed, '\' or '/'.
  char* cut = lastInnerSeparator(path, kNativePaths);
  if (cut == nullptr) return false;
  char separator = *cut;
  *cut = '\0';
  if (!createDirectoryPath(path)) return false;
  *cut = separator;
  // Another thread (or program) may have made it meanwhile: there it is all the same.
  DirectoryResult made = createDirectory(path);
  return made == DirectoryResult::Created || made == DirectoryResult::AlreadyExists;
}

unsigned char createDirectoryTree(const char* path, unsigned char existingOk) {
  switch (createDirectory(path)) {
    case DirectoryResult::Created:
      return 1;
    case DirectoryResult::AlreadyExists:
      return existingOk;
    case DirectoryResult::OtherError:
      return 0;
    case DirectoryResult::PathNotFound:
      break;
  }
  std::string parent(path);
  if (parent.size() >= kPathBufferBytes) parent.resize(kPathBufferBytes - 1);
  if (pathCutLastComponent(parent.data()) == nullptr || !createDirectoryPath(parent.data())) {
    return 0;
  }
  switch (createDirectory(path)) {
    case DirectoryResult::Created:
      return 1;
    case DirectoryResult::AlreadyExists:  // made meanwhile by another thread
      return existingOk;
    default:
      return 0;
  }
}

}  // namespace quorvel
