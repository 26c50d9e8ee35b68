#include <windows.h>

#include <atomic>
#include <string>

#include "platform/temporary_folder.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

namespace {

std::atomic<unsigned> gFolderNumber{0};

// Removes the files left in the folder (given with its trailing separator), then the folder.
void removeFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW((folder + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.substr(0, folder.size() - 1).c_str());
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
  wchar_t buffer[MAX_PATH];
  // The answer is the length without the terminator when the path fits, else the size needed.
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return;
  std::wstring system(buffer, length);
  path_ = toUtf8(system.c_str());
  std::wstring own = system + L"quorvel-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(gFolderNumber.fetch_add(1));
  // Without a folder of its own (a full or read-only temporary folder) the conversion works in
  // the system's folder, as a single conversion always could.
  PendingCreation creating;
  if (own.size() + 1 >= MAX_PATH || !CreateDirectoryW(own.c_str(), nullptr)) return;
  path_ = toUtf8(own.c_str());
  pending_ = rememberPending(path_.c_str(), PendingKind::Folder);
  owned_ = true;
  path_ += '\\';
}

TemporaryFolder::~TemporaryFolder() {
  if (!owned_) return;
  std::wstring wide;
  if (toWide(path_.c_str(), wide)) removeFolder(wide);
  forgetPending(pending_);
}

}  // namespace quorvel
