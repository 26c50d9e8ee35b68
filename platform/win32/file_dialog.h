// The Windows common file dialog (GetOpenFileNameW / GetSaveFileNameW) with the buffers that
// receive its answer: wide text for the system, UTF-8 for the program.
#pragma once

#include <windows.h>
// windows.h first: commdlg.h needs its types.
#include <commdlg.h>

#include <cstdint>
#include <string>

namespace quorvel {

class FileDialog {
 public:
  // openMode != 0 shows the Open dialog, 0 the Save dialog. The default extension (without the
  // dot) and the filter list (pairs of zero-terminated texts, ending in one more zero) are ASCII;
  // the initial file name is UTF-8. initialFileName and owner may be null.
  FileDialog(uint32_t openMode, const char* defaultExtension, const char* initialFileName,
             uint32_t extraFlags, const char* filter, HWND owner);
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;

  // 1 when a file was chosen (its path in filePath, its name in fileTitle), 2 when the user
  // cancelled or the dialog could not be shown. ownerWindow is used when set-up gave no owner.
  int showModal(HWND ownerWindow);

  // True when the system only knows the short form of the record.
  static bool usesOldDialogRecord();

  const OPENFILENAMEW& request() const { return request_; }
  std::string filePath() const;
  std::string fileTitle() const;

 private:
  OPENFILENAMEW request_;
  uint32_t openMode_;
  std::wstring filter_;
  std::wstring defaultExtension_;
  wchar_t fileTitle_[256];
  wchar_t filePath_[MAX_PATH];
};

// Leaves every message to the system's own handling.
UINT_PTR CALLBACK fileDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quorvel
