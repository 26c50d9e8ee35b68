#include <windows.h>

#include <cwchar>

#include "platform/folders.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

namespace {

// A reparse point (symbolic link, junction) counts as a link: a walk does not enter it.
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

bool readFolder(const char* path, std::vector<FolderEntry>& entries) {
  std::wstring pattern;
  if (!toWide(path, pattern)) return false;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) {
      continue;
    }
    entries.push_back(FolderEntry{toUtf8(found.cFileName), kindOf(found.dwFileAttributes, false)});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

}  // namespace quorvel
