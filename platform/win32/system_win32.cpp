// Operating-system services of the Windows backend: folders, the shared temporary folder, moving
// and deleting files, the failure message box and the code page 932 texts.
#include <windows.h>

#include <cstdio>

#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

const PathFlavour kNativePaths = kWindowsPaths;
const size_t kPathCapacity = MAX_PATH;
const char kSwitchChar = '/';

// Code page 932 bytes, printed and shown as they are.
const char* const kTextItemsDone = " \x8C\xC2\x8F\x49\x97\xB9";
const char* const kTextFailureCaption =
    "\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";

DirectoryResult createDirectory(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return DirectoryResult::Created;
  switch (GetLastError()) {
    case ERROR_PATH_NOT_FOUND:
      return DirectoryResult::PathNotFound;
    case ERROR_ALREADY_EXISTS:
      return DirectoryResult::AlreadyExists;
    default:
      return DirectoryResult::OtherError;
  }
}

std::string temporaryFolder() {
  char buffer[MAX_PATH];
  // The answer is the length without the terminator when the path fits, else the size needed.
  DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

// The system's temporary folder is shared with every other program; the archive conversion
// removes each temporary file it made, so nothing is left to clean up here.
void removeTemporaryFolder() {}

bool moveFileReplacing(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool deleteFile(const char* path) {
  return DeleteFileA(path) != 0;
}

void showFailureList(const std::string& text, size_t /*failedCount*/, size_t /*memberCount*/) {
  // The progress lines belong before the box, which may stay open for a while.
  std::fflush(stdout);
  MessageBoxA(nullptr, text.c_str(), kTextFailureCaption, MB_ICONINFORMATION);
}

std::string memberNameToNative(const char* cp932Name) {
  return cp932Name;
}

bool nativeNameToMemberName(const std::string& nativeName, std::string& cp932Name) {
  cp932Name = nativeName;
  return true;
}

}  // namespace quorvel
