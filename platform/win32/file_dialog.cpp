#include "platform/win32/file_dialog.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>

#include "platform/win32/file_dialog_rules.h"
#include "platform/win32/wide_text.h"

namespace quorvel {

static_assert(kOfnEnableHook == OFN_ENABLEHOOK && kOfnExplorer == OFN_EXPLORER &&
              kOfnEnableSizing == OFN_ENABLESIZING);
// The short form ends where pvReserved begins.
constexpr size_t kFullRecordBytes = sizeof(OPENFILENAMEW);
constexpr size_t kOldRecordBytes = offsetof(OPENFILENAMEW, pvReserved);
static_assert(sizeof(void*) != 4 || (kFullRecordBytes == kDialogRecordBytes32 &&
                                     kOldRecordBytes == kOldDialogRecordBytes32));

namespace {

// The filter list's pairs of texts, each terminator included, and the closing zero.
std::wstring wideFilterList(const char* list) {
  const char* end = list;
  while (*end != '\0') end += std::strlen(end) + 1;
  return std::wstring(list, end + 1);  // ASCII: every byte is its character
}

}  // namespace

FileDialog::FileDialog(uint32_t openMode, const char* defaultExtension, const char* initialFileName,
                       uint32_t extraFlags, const char* filter, HWND owner)
    : filter_(wideFilterList(filter)),
      defaultExtension_(defaultExtension, defaultExtension + std::strlen(defaultExtension)) {
  std::memset(&request_, 0, sizeof request_);
  fileTitle_[0] = L'\0';
  filePath_[0] = L'\0';
  openMode_ = openMode;
  request_.lStructSize = usesOldDialogRecord() ? kOldRecordBytes : kFullRecordBytes;
  request_.hwndOwner = owner;
  request_.lpstrFilter = filter_.c_str();
  request_.nFilterIndex = 0;
  request_.lpstrFile = filePath_;
  request_.nMaxFile = MAX_PATH;
  request_.lpstrFileTitle = fileTitle_;
  request_.nMaxFileTitle = sizeof fileTitle_ / sizeof fileTitle_[0];
  request_.Flags = fileDialogFlags(extraFlags);
  request_.lpstrDefExt = defaultExtension_.c_str();
  request_.lpfnHook = fileDialogHook;
  std::wstring initial;
  if (initialFileName != nullptr && toWide(initialFileName, initial)) {
    initial.resize(std::min<size_t>(initial.size(), MAX_PATH - 1));
    std::wmemcpy(filePath_, initial.c_str(), initial.size() + 1);
  }
}

std::string FileDialog::filePath() const {
  return toUtf8(filePath_);
}

std::string FileDialog::fileTitle() const {
  return toUtf8(fileTitle_);
}

int FileDialog::showModal(HWND ownerWindow) {
  if (request_.hwndOwner == nullptr) request_.hwndOwner = ownerWindow;
  BOOL chosen = openMode_ != 0 ? GetOpenFileNameW(&request_) : GetSaveFileNameW(&request_);
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
