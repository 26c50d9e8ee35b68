#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/temporary_folder.h"

namespace quorvel {

namespace {

std::atomic<unsigned> gFolderNumber{0};

// Removes the files left in the folder (given with its trailing separator), then the folder.
void removeFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA((folder + found.cFileName).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.substr(0, folder.size() - 1).c_str());
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
  char buffer[MAX_PATH];
  // The answer is the length without the terminator when the path fits, else the size needed.
  DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return;
  path_.assign(buffer, length);
  char name[64];
  std::snprintf(name, sizeof name, "quorvel-%lu-%u",
                static_cast<unsigned long>(GetCurrentProcessId()), gFolderNumber.fetch_add(1));
  std::string own = path_ + name;
  // Without a folder of its own (a full or read-only temporary folder) the conversion works in
  // the system's folder, as a single conversion always could.
  if (own.size() + 1 >= MAX_PATH || !CreateDirectoryA(own.c_str(), nullptr)) return;
  pending_ = rememberPending(own.c_str(), PendingKind::Folder);
  owned_ = true;
  path_ = own + "\\";
}

TemporaryFolder::~TemporaryFolder() {
  if (!owned_) return;
  removeFolder(path_);
  forgetPending(pending_);
}

}  // namespace quorvel
