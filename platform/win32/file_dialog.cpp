#include "platform/win32/file_dialog.h"

#include <cstddef>
#include <cstring>

#include "platform/paths.h"
#include "platform/win32/file_dialog_rules.h"

namespace quorvel {

static_assert(kOfnEnableHook == OFN_ENABLEHOOK && kOfnExplorer == OFN_EXPLORER &&
              kOfnEnableSizing == OFN_ENABLESIZING);
// The short form ends where pvReserved begins.
constexpr size_t kFullRecordBytes = sizeof(OPENFILENAMEA);
constexpr size_t kOldRecordBytes = offsetof(OPENFILENAMEA, pvReserved);
static_assert(sizeof(void*) != 4 || (kFullRecordBytes == kDialogRecordBytes32 &&
                                     kOldRecordBytes == kOldDialogRecordBytes32));

FileDialog::FileDialog(uint32_t openMode, const char* defaultExtension, const char* initialFileName,
                       uint32_t extraFlags, const char* filter, HWND owner) {
  std::memset(&request_, 0, sizeof request_);
  fileTitle_[0] = '\0';
  filePath_[0] = '\0';
  openMode_ = openMode;
  request_.lStructSize = usesOldDialogRecord() ? kOldRecordBytes : kFullRecordBytes;
  request_.hwndOwner = owner;
  request_.lpstrFilter = filter;
  request_.nFilterIndex = 0;
  request_.lpstrFile = filePath_;
  request_.nMaxFile = sizeof filePath_;
  request_.lpstrFileTitle = fileTitle_;
  request_.nMaxFileTitle = sizeof fileTitle_;
  request_.Flags = fileDialogFlags(extraFlags);
  request_.lpstrDefExt = defaultExtension;
  request_.lpfnHook = fileDialogHook;
  if (initialFileName != nullptr) copyTruncated(filePath_, initialFileName, sizeof filePath_);
}

int FileDialog::showModal(HWND ownerWindow) {
  if (request_.hwndOwner == nullptr) request_.hwndOwner = ownerWindow;
  BOOL chosen = openMode_ != 0 ? GetOpenFileNameA(&request_) : GetSaveFileNameA(&request_);
  return chosen ? 1 : 2;
}

bool FileDialog::usesOldDialogRecord() {
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  // GetVersionExA is deprecated in the headers but is exactly the question asked here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
  return isOldDialogVersion(known != 0, version.dwMajorVersion, version.dwMinorVersion);
}

UINT_PTR CALLBACK fileDialogHook(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

}  // namespace quorvel
