// Test helpers of the Windows build: scratch folders under the system's temporary folder and
// folder listings, with paths and names in UTF-8 like the program's own. The Windows program
// itself is run by scripts/test-windows.sh.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/wide_text.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

namespace {

std::wstring wide(const std::string& utf8) {
  std::wstring text;
  toWide(utf8.c_str(), text);
  return text;
}

void removeTree(const std::string& path) {
  DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    for (const std::string& name : listFolder(path)) removeTree(path + "\\" + name);
    RemoveDirectoryW(wide(path).c_str());
  } else {
    SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide(path).c_str());
  }
}

}  // namespace

ScratchDir::ScratchDir() {
  wchar_t base[MAX_PATH];
  DWORD length = GetTempPathW(MAX_PATH, base);
  if (length == 0 || length >= MAX_PATH) return;
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "qvtest-%lu-%u", GetCurrentProcessId(), ++counter);
    std::string candidate = toUtf8(base) + name;
    if (CreateDirectoryW(wide(candidate).c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) removeTree(path_);
}

std::filesystem::path fileSystemPath(const std::string& path) {
  return std::filesystem::path(wide(path));
}

bool fileExists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(wide(path + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = toUtf8(entry.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quorvel::test
