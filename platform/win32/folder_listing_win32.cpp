#include <windows.h>

#include <cwchar>

#include "platform/folder_listing.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

namespace {

// A reparse point (symbolic link, junction) is a Link when links are not followed.
PathKind kindOf(DWORD attributes, bool followLinks) {
  if (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return PathKind::Link;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::Other;
  return PathKind::File;
}

}  // namespace

PathKind pathKind(const char* path, bool followLinks) {
  std::wstring wide;
  if (!toWidePath(path, wide)) return PathKind::Missing;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return kindOf(attributes, followLinks);
}

bool readFolder(const char* path, std::vector<FolderEntry>& entries, bool followLinks) {
  std::string pattern(path);
  if (pattern.empty() || (pattern.back() != '\\' && pattern.back() != '/')) pattern += '\\';
  pattern += '*';
  std::wstring wide;
  if (!toWidePath(pattern.c_str(), wide)) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) {
      continue;
    }
    entries.push_back(
        FolderEntry{toUtf8(found.cFileName), kindOf(found.dwFileAttributes, followLinks)});
  } while (FindNextFileW(search, &found));
  bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return complete;
}

}  // namespace quorvel
